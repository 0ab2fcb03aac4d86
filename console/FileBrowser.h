// The library browser's lists: mount points as drives, a folder list and a pattern-filtered file
// list. The main window, the Functions window and the default-directory window all use them.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <memory>

namespace brisko::console {

class NamePattern;

// The "drive" list: the mount points of the machine. The drive of a path is the mount point that
// holds it.
class DriveBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveBox(QWidget* parent = nullptr);
    // The selected mount point ("/" for the root file system).
    QString drive() const;
    // Selects the mount point that holds PATH (adding it when the list lacks it). Emits
    // driveChanged only when the selection changes.
    void setDrive(const QString& path);
    // Re-reads the mount points, keeping the selection.
    void reload();
signals:
    void driveChanged(const QString& drive);

private:
    int indexOfMount(const QString& mount) const;
    QString current_;
};

// The folder list: the open folder's path, ".." to go up, then its subfolders. Activating an
// entry opens it.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    // Opens PATH. A folder that does not exist or cannot be read is refused: returns false and the
    // list keeps what it showed.
    bool setPath(const QString& path);
signals:
    void pathChanged(const QString& path);

private:
    void fill();
    QString path_;
};

// The file list: the files of one folder that match a semicolon-separated wildcard pattern (case
// does not matter), sorted by name. Names that are not valid UTF-8 are shown readably and kept
// exactly (see FileNames.h).
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    void setPath(const QString& path);
    QString pattern() const { return pattern_; }
    // Sets the pattern list and re-reads the folder. Entries that are not valid wildcards list
    // nothing; the operator is told of them in a message box, once for each new list.
    void setPattern(const QString& pattern);
    // Re-reads the folder.
    void refresh();
    // The selected file name without its folder, exact to the byte (FileNames.h); "" when
    // nothing is selected.
    QString fileName() const;
    // The names listed, in order, as shown.
    QStringList names() const;

private:
    QString path_;
    QString pattern_ = QStringLiteral("*");  // every file: programs often have no extension
    std::shared_ptr<const NamePattern> matcher_;
    QStringList reportedInvalid_;
};

// The mount point holding PATH ("/" when nothing more specific does).
QString driveOfPath(const QString& path);

// Opens the selected drive of DRIVES in FOLDERS. An unreadable drive is refused by the folder
// list, which keeps what it showed; the drive list goes back to that folder's drive and the
// operator is told in a message box over OWNER. Returns whether the drive was opened.
bool openSelectedDrive(QWidget* owner, DriveBox* drives, FolderList* folders);

}  // namespace brisko::console
