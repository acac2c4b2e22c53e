#include "shell/Fingers.h"

#include <QWidget>

namespace movira {

void Fingers::fit(QWidget* control) {
    if (control->minimumHeight() < MinimumHeight) control->setMinimumHeight(MinimumHeight);
}

const char* Fingers::styleSheet() {
    return "QTabBar::tab { min-height: 40px; min-width: 40px; padding: 0 8px; }"
           "QCheckBox::indicator, QRadioButton::indicator { width: 26px; height: 26px; }"
           "QTreeView::item, QListView::item { min-height: 40px; }"
           "QComboBox QAbstractItemView::item { min-height: 40px; }"
           // The questions and messages the dialogs ask inherit this: their buttons too.
           "QMessageBox QPushButton { min-height: 40px; min-width: 80px; }";
}

}  // namespace movira
