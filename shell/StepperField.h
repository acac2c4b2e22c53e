// A number field with large "−" and "+" buttons beside it, for fingers instead of the small
// arrows of a spin box. The spin box carries the row's label as its accessible name.
#pragma once

#include <QWidget>

class QPushButton;
class QSpinBox;

namespace movira {

class StepperField final : public QWidget {
    Q_OBJECT

public:
    StepperField(int minimum, int maximum, const QString& accessibleName, QWidget* parent = nullptr);

    int value() const;
    void setValue(int value);
    QSpinBox* spinBox() const { return spin_; }
    QPushButton* downButton() const { return down_; }
    QPushButton* upButton() const { return up_; }

private:
    QSpinBox* spin_;
    QPushButton* down_;
    QPushButton* up_;
};

}  // namespace movira
