// The folder chooser on a temporary tree: the walk to the start folder, case, a missing part,
// the placeholder, reading each folder once, OK and Cancel.
#include "shell/FolderDialog.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace movira {
namespace {

QStringList childTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
    return texts;
}

class FolderDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        base = QDir(dir.path()).canonicalPath();
        QDir(base).mkpath(QStringLiteral("Storage Card/Tracks/2024"));
        QDir(base).mkpath(QStringLiteral("Storage Card/Empty"));
        QFile file(base + QStringLiteral("/Storage Card/notes.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QTemporaryDir dir;
    QString base;  // the temporary folder, without links
};

TEST_F(FolderDialogTest, OpensOnTheStartFolderSelectedAndExpanded) {
    const struct {
        QString start;
        QString selected;
    } cases[] = {
        {QStringLiteral("/Storage Card/Tracks"), QStringLiteral("/Storage Card/Tracks")},
        {QStringLiteral("/storage card/TRACKS"), QStringLiteral("/Storage Card/Tracks")},   // any letter case
        {QStringLiteral("/Storage Card/Gone/Deeper"), QStringLiteral("/Storage Card")},     // deepest that exists
        {QStringLiteral("/Storage Card/Tracks/"), QStringLiteral("/Storage Card/Tracks")},
    };
    for (const auto& c : cases) {
        FolderDialog dialog(base + c.start, false, nullptr);
        QTreeWidgetItem* current = dialog.tree()->currentItem();
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(FolderDialog::pathOf(current), base + c.selected) << c.start.toStdString();
        EXPECT_TRUE(current->isExpanded());
        EXPECT_EQ(dialog.pathLabel()->text(), base + c.selected);
    }
    FolderDialog tracks(base + QStringLiteral("/Storage Card/Tracks"), true, nullptr);
    EXPECT_EQ(childTexts(tracks.tree()->currentItem()), QStringList{QStringLiteral("2024")});
    EXPECT_EQ(tracks.windowTitle(), QStringLiteral("Выбор папки"));
    EXPECT_EQ(tracks.cancelButton()->text(), QStringLiteral("Отмена"));
}

TEST_F(FolderDialogTest, AnEmptyStartShowsTheRootAloneSelected) {
    FolderDialog dialog(QString(), false, nullptr);
    QTreeWidgetItem* root = dialog.tree()->topLevelItem(0);
    EXPECT_EQ(dialog.tree()->currentItem(), root);
    EXPECT_EQ(root->text(0), QStringLiteral("/"));
    EXPECT_TRUE(root->isExpanded());
    EXPECT_FALSE(childTexts(root).contains(QStringLiteral(".")));
    EXPECT_FALSE(childTexts(root).contains(QStringLiteral("..")));
    EXPECT_TRUE(childTexts(root).contains(QStringLiteral("tmp")) || childTexts(root).contains(QStringLiteral("usr")));
    // OK with the root gives an empty path: the caller then keeps its folder.
    dialog.okButton()->click();
    EXPECT_EQ(dialog.result(), FolderDialog::Ok);
    EXPECT_EQ(dialog.path(), QString());
}

TEST_F(FolderDialogTest, AFolderIsReadOnceWhenFirstOpened) {
    FolderDialog dialog(base + QStringLiteral("/Storage Card"), false, nullptr);
    QTreeWidgetItem* card = dialog.tree()->currentItem();
    QStringList children = childTexts(card);
    children.sort();
    EXPECT_EQ(children, QStringList({QStringLiteral("Empty"), QStringLiteral("Tracks")}));  // files not shown
    QTreeWidgetItem* empty = card->child(childTexts(card).indexOf(QStringLiteral("Empty")));
    // Unread: one placeholder gives it its expand button.
    EXPECT_EQ(childTexts(empty), QStringList{QStringLiteral("...")});
    const int fills = dialog.fills();
    empty->setExpanded(true);
    EXPECT_EQ(dialog.fills(), fills + 1);
    EXPECT_TRUE(childTexts(empty).isEmpty());
    empty->setExpanded(false);
    empty->setExpanded(true);
    EXPECT_EQ(dialog.fills(), fills + 1);
    for (QTreeWidgetItem* item = card; item; item = item->parent()) EXPECT_NE(item->text(0), QStringLiteral(".."));
}

TEST_F(FolderDialogTest, OkGivesTheSelectedFolderAndCancelTheStart) {
    const QString start = base + QStringLiteral("/Storage Card");
    FolderDialog ok(start, false, nullptr);
    QTreeWidgetItem* card = ok.tree()->currentItem();
    ok.tree()->setCurrentItem(card->child(childTexts(card).indexOf(QStringLiteral("Tracks"))));
    EXPECT_EQ(ok.pathLabel()->text(), start + QStringLiteral("/Tracks"));
    ok.okButton()->click();
    EXPECT_EQ(ok.result(), FolderDialog::Ok);
    EXPECT_EQ(ok.path(), start + QStringLiteral("/Tracks"));

    FolderDialog cancel(start, false, nullptr);
    cancel.tree()->setCurrentItem(cancel.tree()->topLevelItem(0));
    cancel.cancelButton()->click();
    EXPECT_EQ(cancel.result(), FolderDialog::Cancelled);
    EXPECT_EQ(cancel.path(), start);
}

}  // namespace
}  // namespace movira
