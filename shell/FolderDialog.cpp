#include "shell/FolderDialog.h"

#include "shell/Fingers.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScroller>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace movira {
namespace {

constexpr int kUnreadRole = Qt::UserRole;  // true while the folder's subfolders are not read

QTreeWidgetItem* addFolder(QTreeWidgetItem* parent, const QString& name) {
    auto* item = new QTreeWidgetItem(parent, QStringList(name));
    item->setData(0, kUnreadRole, true);
    // The placeholder gives the folder its expand button until it is read.
    new QTreeWidgetItem(item, QStringList(QString::fromLatin1(FolderDialog::Placeholder)));
    return item;
}

}  // namespace

FolderDialog::FolderDialog(const QString& startFolder, bool russian, QWidget* parent)
    : QDialog(parent), path_(startFolder), label_(new QLabel(this)), tree_(new QTreeWidget(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(russian ? QStringLiteral("Отмена") : QStringLiteral("Cancel"), this)) {
    setWindowTitle(russian ? QStringLiteral("Выбор папки") : QStringLiteral("Choose folder"));
    setStyleSheet(QString::fromLatin1(Fingers::styleSheet()));
    auto* layout = new QVBoxLayout(this);
    label_->setWordWrap(true);
    label_->setAccessibleName(windowTitle());
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setAccessibleName(windowTitle());
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    QScroller::grabGesture(tree_->viewport(), QScroller::TouchGesture);
    layout->addWidget(label_);
    layout->addWidget(tree_, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {ok_, cancel_}) {
        button->setAccessibleName(button->text());
        button->setAutoDefault(false);
        Fingers::fit(button);
        buttons->addWidget(button);
    }
    ok_->setDefault(true);
    layout->addLayout(buttons);

    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!isFilled(item)) fill(item);
    });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        label_->setText(item ? pathOf(item) : QString());
    });
    connect(ok_, &QPushButton::clicked, this, [this] {
        path_ = label_->text();
        done(Ok);
    });
    connect(cancel_, &QPushButton::clicked, this, &FolderDialog::reject);

    auto* root = new QTreeWidgetItem(tree_, QStringList(QStringLiteral("/")));
    root->setData(0, kUnreadRole, true);
    fill(root);
    root->setExpanded(true);
    tree_->setCurrentItem(root);
    label_->setText(pathOf(root));
    walkTo(startFolder);
    setWindowState(windowState() | Qt::WindowMaximized);
}

void FolderDialog::reject() { done(Cancelled); }

bool FolderDialog::isFilled(const QTreeWidgetItem* item) { return !item->data(0, kUnreadRole).toBool(); }

QString FolderDialog::pathOf(const QTreeWidgetItem* item) {
    QString path;
    for (; item && item->parent(); item = item->parent()) path.prepend(QLatin1Char('/') + item->text(0));
    return path;
}

void FolderDialog::fill(QTreeWidgetItem* item) {
    ++fills_;
    item->setData(0, kUnreadRole, false);
    qDeleteAll(item->takeChildren());
    const QString path = pathOf(item);
    // Subfolders only (links to folders too), hidden ones as well, in the order the file system
    // gives them; "." and ".." never.
    const QDir folder(path.isEmpty() ? QStringLiteral("/") : path);
    for (const QString& name : folder.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted)) {
        addFolder(item, name);
    }
}

void FolderDialog::walkTo(const QString& folder) {
    QString rest = folder;
    if (rest.startsWith(QLatin1Char('/'))) rest.remove(0, 1);
    if (rest.isEmpty()) return;
    QTreeWidgetItem* current = tree_->topLevelItem(0);
    for (const QString& component : rest.split(QLatin1Char('/'))) {
        QTreeWidgetItem* match = nullptr;
        for (int i = 0; i < current->childCount() && !match; ++i) {
            if (current->child(i)->text(0).compare(component, Qt::CaseInsensitive) == 0) match = current->child(i);
        }
        if (!match) break;
        tree_->setCurrentItem(match);
        match->setExpanded(true);  // reads it
        current = match;
    }
    tree_->scrollToItem(tree_->currentItem());
}

}  // namespace movira
