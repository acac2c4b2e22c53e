// Chooses a folder from the machine's folder tree, for the track files. The tree starts at "/"
// and reads a folder's subfolders only when the folder is first opened; it opens on the start
// folder (the deepest part of it that exists), matched without regard to letter case.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace movira {

class FolderDialog final : public QDialog {
    Q_OBJECT

public:
    enum Result { Ok = 1, Cancelled = 2 };
    static constexpr const char* Placeholder = "...";

    FolderDialog(const QString& startFolder, bool russian, QWidget* parent = nullptr);

    // The chosen folder after Ok ("" for the root itself), else the start folder.
    QString path() const { return path_; }
    // The path an item stands for: "/a/b"; the root alone gives "".
    static QString pathOf(const QTreeWidgetItem* item);

    QTreeWidget* tree() const { return tree_; }
    QLabel* pathLabel() const { return label_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    // How often folders were read from the disk (each folder once).
    int fills() const { return fills_; }

    void reject() override;

private:
    void fill(QTreeWidgetItem* item);
    void walkTo(const QString& folder);
    static bool isFilled(const QTreeWidgetItem* item);

    QString path_;
    QLabel* label_;
    QTreeWidget* tree_;
    QPushButton* ok_;
    QPushButton* cancel_;
    int fills_ = 0;
};

}  // namespace movira
