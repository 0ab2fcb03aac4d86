// The shared Clip Player state, its file locations and the Clip Player log.
#include "clipplayer/ClipState.h"

#include <QApplication>
#include <QWidget>

#include "platform/common/ProgramFolder.h"
#include "ui/NameBytes.h"
#include "ui/Prompt.h"

namespace brisko::clip {
namespace {
std::function<QDateTime()>& logClock() {
    static std::function<QDateTime()> clock;
    return clock;
}

// FORMAT with every year field of fewer than four letters widened to "yyyy"; quoted text is left.
QString withFullYear(const QString& format) {
    QString out;
    bool quoted = false;
    for (qsizetype k = 0; k < format.size();) {
        const QChar c = format[k];
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (quoted || c != QLatin1Char('y')) {
            out += c;
            ++k;
            continue;
        }
        qsizetype run = 0;
        while (k + run < format.size() && format[k + run] == QLatin1Char('y')) ++run;
        out += run < 4 ? QStringLiteral("yyyy") : QString(run, QLatin1Char('y'));
        k += run;
    }
    return out;
}
}  // namespace

ClipState& clipState() {
    static ClipState state;
    return state;
}

QString programFile(const QString& name) {
    return ui::nameFromBytes(QByteArray::fromStdString(programFolder())) + QLatin1Char('/') + name;
}
QString usersFilePath() { return programFile(QStringLiteral("ClipUsers.dat")); }
QString clipListPath(const QString& user) { return programFile(user + QStringLiteral(".dat")); }
QString pageNamesPath(const QString& user) { return programFile(user + QStringLiteral(".nst")); }

QString shippedFile(const QString& name) {
    QStringList places{programFile(name)};
    if (QCoreApplication::instance() != nullptr)
        places << QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    for (const QString& place : places)
        if (fileExists(place)) return place;
    return QString();
}

QByteArray templateBytes(const QString& name) {
    QByteArray bytes;
    const QString path = shippedFile(name);
    if (!path.isEmpty() && readWhole(path, &bytes)) return bytes;
    return name == QLatin1String("clipuserblank.nst") ? blankPageNames() : blankClipList();
}

QString logStamp(const QDateTime& moment, const QLocale& locale) {
    // The long time form without a time-zone name: hours, minutes, seconds (and AM/PM).
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    // Some short date forms drop the century ("12/6/26"); the log keeps it.
    const QString dateFormat = withFullYear(locale.dateFormat(QLocale::ShortFormat));
    return QStringLiteral(" at ") + locale.toString(moment.date(), dateFormat) + QLatin1Char(' ') +
           locale.toString(moment.time(), timeFormat);
}

bool writeLog(const QString& text) {
    static bool told = false;  // the current run of failures has been reported
    const QDateTime moment = logClock() ? logClock()() : QDateTime::currentDateTime();
    const QString path = programFile(QStringLiteral("clip_player.log"));
    QString reason;
    if (appendWhole(path, ui::nameBytes(text + logStamp(moment)) + "\r\n", &reason)) {
        told = false;
        return true;
    }
    if (!told) {
        told = true;
        ui::message(QApplication::activeWindow(),
                    {QStringLiteral("The Clip Player log %1 cannot be written (%2), so it misses what "
                                    "happens from now on until it can be written again. Clips still play.")
                         .arg(ui::nameForDisplay(path), reason),
                     QStringLiteral("Clip Player"), ui::PromptButtons::Ok, ui::PromptIcon::Warning});
    }
    return false;
}

void setLogClockForTesting(std::function<QDateTime()> clock) { logClock() = std::move(clock); }

}  // namespace brisko::clip
