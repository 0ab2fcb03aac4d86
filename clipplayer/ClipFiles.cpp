// The Clip Player's file formats and whole-file writes.
#include "clipplayer/ClipFiles.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <string>

#include "console/WholeFile.h"
#include "media/MediaChannelTesting.h"

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
    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return lines;
}

QByteArray crlfText(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines) {
        out += line.toUtf8();
        out += "\r\n";
    }
    return out;
}

ClipListRead parseClipList(const QByteArray& bytes, ClipTable& table) {
    const QStringList lines = textLines(bytes);
    ClipListRead read;
    read.opened = true;
    read.lines = int(lines.size());
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

QByteArray blankClipList() { return formatClipList(ClipTable{}); }

QByteArray blankPageNames() { return crlfText(QStringList(kPageNames, QString())); }

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
    } else if (name.toUtf8().size() > 200) {
        problem = QStringLiteral("A user name can be at most 200 bytes long.");
    }
    if (problem.isEmpty()) return true;
    if (why != nullptr)
        *why = QStringLiteral("The user name \"%1\" cannot be used: the name is the name of the user's "
                              "clip files. %2 Please choose another")
                   .arg(name, problem);
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    *bytes = file.readAll();
    return file.error() == QFile::NoError;
}

}  // namespace brisko::clip
