#pragma once

#include <QListWidget>

namespace fr {

// The folder chooser of a drive, laid out like a classic directory list: the drive root and
// every folder down to the current one, each indented one step further under an open folder,
// then the current folder's subfolders under closed folders. Double-click or Enter on an
// entry moves there. Paths are native; the root is shown in the drive form the user knows.
class DirectoryListBox : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kIndent = 10;
    enum Role { PathRole = Qt::UserRole, LevelRole, IsOpenRole };

    explicit DirectoryListBox(QWidget* parent = nullptr);

    // The drive's root folder and its drive form ("E:\"); moves to the root.
    void setRoot(const QString& nativeRoot, const QString& driveForm);
    QString root() const { return root_; }

    // Moves to a folder of the drive. A folder outside the root, or one that is not there,
    // leaves the list where it is.
    void setDirectory(const QString& nativeFolder);
    QString directory() const { return directory_; }
    // The current folder written from the drive form: "E:\" for the root, "E:\a\b" below it.
    QString directoryInDriveForm() const;

    // Lists the current folder again, for folders made or removed meanwhile.
    void refresh();

signals:
    void directoryChanged(const QString& native);

private:
    bool isWithinRoot(const QString& folder) const;
    void populate();

    QString root_;
    QString driveForm_;
    QString directory_;
};

} // namespace fr
