// The one shared Clip Player state (current user, clip table, page names), where the user's files
// live, the shipped templates and the Clip Player log.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <array>
#include <functional>

#include "clipplayer/ClipFiles.h"

namespace brisko::clip {

struct ClipState {
    QString CurrentUser;
    ClipTable Table;
    std::array<QString, kPageNames> PageNames;
};

// The state of the process; lives for the whole run.
ClipState& clipState();

// Files in the program folder; names are carried as bytes (ui/NameBytes.h).
QString programFile(const QString& name);
QString usersFilePath();                     // ClipUsers.dat
QString clipListPath(const QString& user);   // user + ".dat"
QString pageNamesPath(const QString& user);  // user + ".nst"

// A shipped data file (blankcliplist.dat, clipuserblank.nst, x.gif): the program folder's copy,
// else the one beside the executable; "" when neither exists.
QString shippedFile(const QString& name);
// The bytes of a template: the shipped file when there is one, else the same blank form built in.
QByteArray templateBytes(const QString& name);

// Appends TEXT + " at " + short date + " " + long time + CR LF to clip_player.log. Returns false
// when the log cannot be written; the operator is told once, and again only after a line has
// been written in between.
bool writeLog(const QString& text);
// " at " + date + " " + time for MOMENT, in LOCALE's short date and long time forms, the year
// always with four digits.
QString logStamp(const QDateTime& moment, const QLocale& locale = QLocale::system());
// Tests fix the log's clock; an empty function restores the real one.
void setLogClockForTesting(std::function<QDateTime()> clock);

}  // namespace brisko::clip
