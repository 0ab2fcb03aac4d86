// brisko.ini: the five-line settings file (library folder, file pattern list, start mode, editor
// path, temporary folder). Read as comma-delimited fields; written whole or not at all.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace brisko::console {

struct SettingsValues {
    QString DefaultDir;
    QString FilePattern;
    QString StartMode;      // "simple" or "advanced"
    QString DefaultEditor;
    QString TempDir;
};

struct SettingsRead {
    bool opened = false;   // the file could be opened and read
    int count = 0;         // fields read before the end of the file (at most five)
    SettingsValues values; // the fields read; the missing ones stay empty
    // All five fields were read: only then are they applied.
    bool complete() const { return opened && count == 5; }
};

// The pattern list used when line 2 is empty (it names *.mov and *.asf twice; kept as it is).
QString defaultFilePattern();

// PATTERN as the file list uses it: every entry trimmed of blanks, empty entries dropped
// (" *.wav ;;*.mp3" lists the same files as "*.wav;*.mp3").
QString cleanPattern(const QString& pattern);

// Splits CONTENT into at most MAXFIELDS fields the way comma-delimited field input does: leading
// blanks are skipped; a field in double quotes runs to the closing quote (commas inside are kept)
// and anything up to the next comma or line end is dropped; an unquoted field ends at a comma or
// line end, trailing blanks removed. An empty line is one empty field. Lines end in CR LF or LF.
// Text is UTF-8.
QStringList readFields(const QByteArray& content, int maxFields);

// Reads the file at PATH.
SettingsRead readSettings(const QString& path);

// The file's bytes for VALUES: five lines ended by CR LF, UTF-8. A value is written as it is,
// except that one the reader would cut or trim (it holds a comma, or starts or ends with a blank)
// and that holds no double quote is put in double quotes, so that it reads back whole.
QByteArray formatSettings(const SettingsValues& values);

// Writes VALUES to PATH whole or not at all (WholeFile.h): after a failure, a full disk included,
// the old file is still there, unchanged. On failure returns false and sets *ERROR (when given)
// to a text for the operator.
bool writeSettings(const QString& path, const SettingsValues& values, QString* error = nullptr);

}  // namespace brisko::console
