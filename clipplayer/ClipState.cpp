// The shared Clip Player state, its file locations and the Clip Player log.
#include "clipplayer/ClipState.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "platform/common/ProgramFolder.h"

namespace brisko::clip {
namespace {
std::function<QDateTime()>& logClock() {
    static std::function<QDateTime()> clock;
    return clock;
}
}  // namespace

ClipState& clipState() {
    static ClipState state;
    return state;
}

QString programFile(const QString& name) {
    return QString::fromStdString(programFolder()) + QLatin1Char('/') + name;
}
QString usersFilePath() { return programFile(QStringLiteral("ClipUsers.dat")); }
QString clipListPath(const QString& user) { return programFile(user + QStringLiteral(".dat")); }
QString pageNamesPath(const QString& user) { return programFile(user + QStringLiteral(".nst")); }

QString shippedFile(const QString& name) {
    QStringList places{programFile(name)};
    if (QCoreApplication::instance() != nullptr)
        places << QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    for (const QString& place : places)
        if (QFileInfo(place).isFile()) return place;
    return QString();
}

QByteArray templateBytes(const QString& name) {
    QByteArray bytes;
    const QString path = shippedFile(name);
    if (!path.isEmpty() && readWhole(path, &bytes)) return bytes;
    return name == QLatin1String("clipuserblank.nst") ? blankPageNames() : blankClipList();
}

QString logStamp(const QDateTime& moment) {
    const QLocale locale = QLocale::system();
    // The long time form without a time-zone name: hours, minutes, seconds (and AM/PM).
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    return QStringLiteral(" at ") + locale.toString(moment.date(), QLocale::ShortFormat) +
           QLatin1Char(' ') + locale.toString(moment.time(), timeFormat);
}

bool writeLog(const QString& text) {
    const QDateTime moment = logClock() ? logClock()() : QDateTime::currentDateTime();
    QFile file(programFile(QStringLiteral("clip_player.log")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const QByteArray line = (text + logStamp(moment)).toUtf8() + "\r\n";
    return file.write(line) == line.size();
}

void setLogClockForTesting(std::function<QDateTime()> clock) { logClock() = std::move(clock); }

}  // namespace brisko::clip
