// The library browser's lists: drives as mount points, folders, and files filtered by pattern.
#include "console/FileBrowser.h"

#include "ui/AccessibleNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTimer>
#include <algorithm>

#include "console/FileNames.h"
#include "console/NamePattern.h"
#include "ui/Prompt.h"

namespace brisko::console {

// ---- drives -----------------------------------------------------------------------------------

QString driveOfPath(const QString& path) {
    QString best = QStringLiteral("/");
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        QString root = volume.rootPath();
        if (root.isEmpty()) continue;
        const bool holds = clean == root || root == QLatin1String("/") ||
                           clean.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > best.size()) best = root;
    }
    return best;
}

DriveBox::DriveBox(QWidget* parent) : QComboBox(parent) {
    brisko::ui::nameControl(this, QStringLiteral("Drive"));
    reload();
    current_ = count() > 0 ? itemText(0) : QStringLiteral("/");
    setCurrentIndex(indexOfMount(current_));
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        const QString chosen = itemText(index);
        if (chosen == current_) return;
        current_ = chosen;
        emit driveChanged(current_);
    });
}

QString DriveBox::drive() const { return current_; }

int DriveBox::indexOfMount(const QString& mount) const {
    for (int i = 0; i < count(); ++i)
        if (itemText(i) == mount) return i;
    return -1;
}

void DriveBox::reload() {
    const QSignalBlocker blocker(this);
    const QString keep = current_;
    clear();
    // Kernel and bookkeeping file systems hold no sound files; file bind mounts are no drives.
    static const QList<QByteArray> kPseudo = {
        "proc",    "sysfs",     "cgroup",   "cgroup2",  "devpts",  "mqueue",   "securityfs",
        "debugfs", "tracefs",   "pstore",   "bpf",      "autofs",  "hugetlbfs", "configfs",
        "fusectl", "binfmt_misc", "efivarfs", "nsfs",   "rpc_pipefs", "devtmpfs"};
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || root.isEmpty() || !QFileInfo(root).isDir()) continue;
        if (kPseudo.contains(volume.fileSystemType())) continue;
        roots << root;
    }
    if (!roots.contains(QStringLiteral("/"))) roots << QStringLiteral("/");
    roots.removeDuplicates();
    roots.sort();
    addItems(roots);
    if (!keep.isEmpty()) {
        if (indexOfMount(keep) < 0) addItem(keep);
        setCurrentIndex(indexOfMount(keep));
    }
}

void DriveBox::setDrive(const QString& path) {
    const QString mount = driveOfPath(path);
    {
        // The selection is moved quietly; driveChanged below is the one notice (and is held back
        // like any signal while a QSignalBlocker is active on this box).
        const QSignalBlocker blocker(this);
        if (indexOfMount(mount) < 0) addItem(mount);
        setCurrentIndex(indexOfMount(mount));
    }
    if (mount == current_) return;
    current_ = mount;
    emit driveChanged(current_);
}

// ---- folders ----------------------------------------------------------------------------------

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    brisko::ui::nameControl(this, QStringLiteral("Folders"));
    path_ = QDir::currentPath();
    fill();
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item == nullptr) return;
        const QString target = item->data(Qt::UserRole).toString();
        setPath(target);
    });
}

bool FolderList::setPath(const QString& path) {
    if (path.isEmpty() || !isReadableFolder(path)) return false;
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (clean == path_) return true;
    path_ = clean;
    fill();
    emit pathChanged(path_);
    return true;
}

namespace {

// Names sorted as the lists show them: without regard to case, ties in a fixed order.
void sortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

// A row that shows NAME readably and keeps its exact bytes (as a lossless name) in VALUE.
QListWidgetItem* addRow(QListWidget* list, const QString& name, const QString& value) {
    auto* item = new QListWidgetItem(displayName(name), list);
    item->setData(Qt::UserRole, value);
    return item;
}

}  // namespace

void FolderList::fill() {
    clear();
    QDir dir(path_);
    // The first row names the open folder itself; activating it changes nothing.
    QListWidgetItem* here = addRow(this, path_, path_);
    QFont bold = font();
    bold.setBold(true);
    here->setFont(bold);
    if (!dir.isRoot())
        addRow(this, QStringLiteral(".."), QDir::cleanPath(path_ + QStringLiteral("/..")));
    QStringList names = readFolder(path_).folders;
    sortNames(names);
    const QString prefix = path_.endsWith(QLatin1Char('/')) ? path_ : path_ + QLatin1Char('/');
    for (const QString& name : names) addRow(this, name, prefix + name);
}

// ---- files ------------------------------------------------------------------------------------

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    brisko::ui::nameControl(this, QStringLiteral("Files"));
    path_ = QDir::currentPath();
    refresh();
}

void FileList::setPath(const QString& path) {
    path_ = path;
    refresh();
}

void FileList::setPattern(const QString& pattern) {
    pattern_ = pattern;
    matcher_ = std::make_shared<NamePattern>(pattern);
    // An entry that is no wildcard lists nothing; the operator hears of it once per list.
    const QStringList invalid = matcher_->invalidEntries();
    if (!invalid.isEmpty() && invalid != reportedInvalid_) {
        // Said once the event loop runs, so that a list read at start-up does not hold up the
        // rest of the start (a file from the command line plays at once).
        const QString text = QStringLiteral("These file types are not valid patterns and are "
                                            "ignored: %1")
                                 .arg(invalid.join(QStringLiteral("; ")));
        QTimer::singleShot(0, this, [this, text] {
            brisko::ui::message(window(), {text, QStringLiteral("Brisko"),
                                           brisko::ui::PromptButtons::Ok,
                                           brisko::ui::PromptIcon::Warning});
        });
    }
    reportedInvalid_ = invalid;
    refresh();
}

void FileList::refresh() {
    const QString keep = fileName();
    clear();
    if (!matcher_) matcher_ = std::make_shared<NamePattern>(pattern_);
    QStringList names = readFolder(path_).files;
    names.erase(std::remove_if(names.begin(), names.end(),
                               [this](const QString& name) { return !matcher_->matches(name); }),
                names.end());
    sortNames(names);
    for (const QString& name : names) {
        QListWidgetItem* item = addRow(this, name, name);
        if (!keep.isEmpty() && name == keep) setCurrentItem(item);
    }
}

QString FileList::fileName() const {
    const QListWidgetItem* item = currentItem();
    return item != nullptr && item->isSelected() ? item->data(Qt::UserRole).toString() : QString();
}

QStringList FileList::names() const {
    QStringList out;
    for (int i = 0; i < count(); ++i) out << item(i)->text();
    return out;
}

bool openSelectedDrive(QWidget* owner, DriveBox* drives, FolderList* folders) {
    const QString drive = drives->drive();
    if (folders->setPath(drive)) return true;
    {
        const QSignalBlocker blocker(drives);
        drives->setDrive(folders->path());
    }
    brisko::ui::message(owner, {QStringLiteral("The drive %1 cannot be read.").arg(drive),
                                QStringLiteral("Brisko"), brisko::ui::PromptButtons::Ok,
                                brisko::ui::PromptIcon::Warning});
    return false;
}

}  // namespace brisko::console
