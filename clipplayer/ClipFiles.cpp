// The Clip Player's file formats and whole-file writes.
#include "clipplayer/ClipFiles.h"

#include "console/WholeFile.h"

#include <QLocale>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "console/WholeFile.h"
#include "media/ReplyNumbers.h"
#include "ui/NameBytes.h"

namespace brisko::clip {

QString ClipSlot::fullName() const {
    if (Directory.endsWith(QLatin1Char('/'))) return Directory + FileName;
    return Directory + QLatin1Char('/') + FileName;
}

ClipSlot& ClipTable::slot(int page, int button) {
    if (page < 0 || page > kStoredPages || button < 0 || button > kButtons) {
        spare_ = ClipSlot{};
        return spare_;
    }
    return slots_[size_t(page)][size_t(button)];
}

const ClipSlot& ClipTable::slot(int page, int button) const {
    return const_cast<ClipTable*>(this)->slot(page, button);
}

void ClipTable::clear() {
    for (auto& page : slots_)
        for (ClipSlot& s : page) s = ClipSlot{};
}

QStringList textLines(const QByteArray& bytes) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        const char c = bytes[k];
        if (c != '\r' && c != '\n') continue;
        lines << ui::nameFromBytes(bytes.mid(start, k - start));
        if (c == '\r' && k + 1 < bytes.size() && bytes[k + 1] == '\n') ++k;
        start = k + 1;
    }
    if (start < bytes.size()) lines << ui::nameFromBytes(bytes.mid(start));
    return lines;
}

QByteArray crlfText(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines) {
        out += ui::nameBytes(line);
        out += "\r\n";
    }
    return out;
}

ClipListRead parseClipList(const QByteArray& bytes, ClipTable& table) {
    const QStringList lines = textLines(bytes);
    ClipListRead read;
    read.opened = true;
    read.lines = int(lines.size());
    for (qsizetype k = kClipLines; k < lines.size(); ++k)
        if (!lines[k].isEmpty()) ++read.extraLines;
    for (int page = 0; page < kStoredPages; ++page) {
        for (int button = 0; button < kButtons; ++button) {
            ClipSlot& slot = table.slot(page, button);
            const int index = page * kButtons + button;
            const QString line = index < lines.size() ? lines[index] : QString();
            if (line.size() < 14) {
                slot.Directory.clear();
                slot.FileName.clear();
                slot.BackColour = kWhite;
                continue;
            }
            // Fields 1 and 2 (page, button) are not used: the line's place decides the slot.
            const QStringList fields = line.split(QLatin1Char('|'));
            if (fields.size() < 6) ++read.badLines;
            auto field = [&](int k) { return k < fields.size() ? fields[k] : QString(); };
            slot.Directory = field(2);
            if (!slot.Directory.endsWith(QLatin1Char('/'))) slot.Directory += QLatin1Char('/');
            slot.FileName = field(3);
            slot.BackColour = leadingNumber(field(4).toStdString());
            // The text colour is everything after the fifth "|".
            slot.TextColour = leadingNumber(fields.size() > 5 ? fields.mid(5).join(QLatin1Char('|')).toStdString()
                                                              : std::string());
        }
    }
    return read;
}

QString colourText(double code) {
    if (!std::isfinite(code)) return QStringLiteral("0");
    if (code == std::floor(code) && std::fabs(code) < 9.0e15)
        return QString::number(static_cast<qint64>(code));
    return QString::number(code, 'f', QLocale::FloatingPointShortest);
}

QString clipLine(int page, int button, const ClipSlot& slot) {
    const QString head = QString::number(page) + QLatin1Char('|') + QString::number(button) + QLatin1Char('|');
    if (slot.Directory.isEmpty()) return head + QStringLiteral(" | |0|0");
    return head + slot.Directory + QLatin1Char('|') + slot.FileName + QLatin1Char('|') +
           colourText(slot.BackColour) + QLatin1Char('|') + colourText(slot.TextColour);
}

QByteArray formatClipList(const ClipTable& table) {
    QStringList lines;
    lines.reserve(kClipLines);
    for (int page = 0; page < kStoredPages; ++page)
        for (int button = 0; button < kButtons; ++button)
            lines << clipLine(page, button, table.slot(page, button));
    return crlfText(lines);
}

std::array<QString, kPageNames> parsePageNames(const QByteArray& bytes) {
    std::array<QString, kPageNames> names;
    const QStringList lines = textLines(bytes);
    for (int i = 0; i < kPageNames && i < lines.size(); ++i) names[size_t(i)] = lines[i];
    return names;
}

QString shownPageName(const QString& name) {
    if (name.size() <= kShownPageName) return ui::nameForDisplay(name);
    qsizetype cut = kShownPageName;
    if (name[cut - 1].isHighSurrogate()) --cut;  // never half a character
    return ui::nameForDisplay(name.left(cut)) + QChar(0x2026);
}

QByteArray blankClipList() { return formatClipList(ClipTable{}); }

QByteArray blankPageNames() { return crlfText(QStringList(kPageNames, QString())); }

const QStringList& programFileNames() {
    static const QStringList names{QStringLiteral("ClipUsers.dat"),     QStringLiteral("blankcliplist.dat"),
                                   QStringLiteral("clipuserblank.nst"), QStringLiteral("clip_player.log"),
                                   QStringLiteral("x.gif"),             QStringLiteral("brisko.ini"),
                                   QStringLiteral("cdrip.ini")};
    return names;
}

namespace {

// The program's own file that user NAME's clip list or page names would be, or "".
QString ownFileOf(const QString& name) {
    for (const QString& own : programFileNames())
        for (const QString& mine : {name + QStringLiteral(".dat"), name + QStringLiteral(".nst")})
            // Compared in any case: the program folder may be on a disk that ignores case.
            if (mine.compare(own, Qt::CaseInsensitive) == 0) return own;
    return QString();
}

}  // namespace

bool isSafeUserName(const QString& name, QString* why) {
    QString problem;
    if (name.isEmpty()) {
        problem = QStringLiteral("A user name cannot be empty.");
    } else if (name == QLatin1String(".") || name == QLatin1String("..")) {
        problem = QStringLiteral("A user name cannot be \".\" or \"..\".");
    } else if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
        problem = QStringLiteral("A user name cannot hold \"/\" or \"\\\".");
    } else if (std::any_of(name.begin(), name.end(),
                           [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control; })) {
        problem = QStringLiteral("A user name cannot hold control characters.");
    } else if (ui::nameBytes(name).size() > 200) {
        problem = QStringLiteral("A user name can be at most 200 bytes long.");
    } else if (const QString own = ownFileOf(name); !own.isEmpty()) {
        problem = QStringLiteral("%1 is a file of the program itself.").arg(own);
    }
    if (problem.isEmpty()) return true;
    if (why != nullptr)
        *why = QStringLiteral("The user name \"%1\" cannot be used: the name is the name of the user's "
                              "clip files. %2 Please choose another")
                   .arg(ui::nameForDisplay(name), problem);
    return false;
}

bool writeWhole(const QString& path, const QByteArray& bytes, QString* error) {
    QString reason;
    if (console::writeWholeFile(path, bytes, &reason)) return true;
    if (error != nullptr)
        *error = QStringLiteral("%1 could not be saved: %2. The file on disk is unchanged.").arg(path, reason);
    return false;
}

bool readWhole(const QString& path, QByteArray* bytes) {
    const int fd = ::open(ui::nameBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    QByteArray out;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    if (ok) *bytes = std::move(out);
    return ok;
}

bool appendWhole(const QString& path, const QByteArray& bytes, QString* error) {
    auto fail = [error](int code) {
        if (error != nullptr) *error = QString::fromLocal8Bit(std::strerror(code));
        return false;
    };
    const int fd = ::open(ui::nameBytes(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return fail(errno);
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    int code = console::writeAll(fd, bytes);
    // Half a line is taken back, so the next line starts on a line of its own.
    if (code != 0 && sized) {
        [[maybe_unused]] const int undone = ::ftruncate(fd, before.st_size);  // nothing more to do if it fails
    }
    if (::close(fd) != 0 && code == 0 && errno != EINTR) code = errno;
    return code == 0 || fail(code);
}

bool fileExists(const QString& path) {
    struct stat info {};
    return ::stat(ui::nameBytes(path).constData(), &info) == 0;
}

bool removeFile(const QString& path) { return ::unlink(ui::nameBytes(path).constData()) == 0; }

}  // namespace brisko::clip
