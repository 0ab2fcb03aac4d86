// Reading and writing brisko.ini.
#include "console/Settings.h"

#include <QFile>

#include "console/WholeFile.h"

namespace brisko::console {
namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

// Moves POS past one line end (CR LF, CR or LF) if it stands there.
void skipLineEnd(const QString& text, qsizetype& pos) {
    if (pos < text.size() && text[pos] == QLatin1Char('\r')) ++pos;
    if (pos < text.size() && text[pos] == QLatin1Char('\n')) ++pos;
}

bool needsQuotes(const QString& value) {
    if (value.isEmpty() || value.contains(QLatin1Char('"'))) return false;
    return value.contains(QLatin1Char(',')) || isBlank(value.front()) || isBlank(value.back());
}

}  // namespace

QString defaultFilePattern() {
    return QStringLiteral(
        "*.mov;*.wav;*.avi;*.asf;*.mov;*.snd;*.mpg;*.mpa;*.mpv;*.enc;*.m1v;*.mp2;*.mp3;*.mpe;"
        "*.mpeg;*.mpm;*.au;*.aif;*.aifc;*.wmv;*.wma;*.midi;*.mid;*.rmi;*.asf");
}

QString cleanPattern(const QString& pattern) {
    QStringList entries;
    for (const QString& entry : pattern.split(QLatin1Char(';'))) {
        const QString trimmed = entry.trimmed();
        if (!trimmed.isEmpty()) entries << trimmed;
    }
    return entries.join(QLatin1Char(';'));
}

QStringList readFields(const QByteArray& content, int maxFields) {
    QString text = QString::fromUtf8(content);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    QStringList fields;
    qsizetype pos = 0;
    while (fields.size() < maxFields && pos < text.size()) {
        while (pos < text.size() && isBlank(text[pos])) ++pos;
        QString value;
        if (pos < text.size() && text[pos] == QLatin1Char('"')) {
            const qsizetype start = ++pos;
            while (pos < text.size() && text[pos] != QLatin1Char('"') && !isLineEnd(text[pos])) ++pos;
            value = text.mid(start, pos - start);
            if (pos < text.size() && text[pos] == QLatin1Char('"')) ++pos;
            // Whatever follows the closing quote up to the delimiter is not part of the field.
            while (pos < text.size() && text[pos] != QLatin1Char(',') && !isLineEnd(text[pos])) ++pos;
        } else {
            const qsizetype start = pos;
            while (pos < text.size() && text[pos] != QLatin1Char(',') && !isLineEnd(text[pos])) ++pos;
            value = text.mid(start, pos - start);
            while (!value.isEmpty() && isBlank(value.back())) value.chop(1);
        }
        if (pos < text.size() && text[pos] == QLatin1Char(','))
            ++pos;
        else
            skipLineEnd(text, pos);
        fields << value;
    }
    return fields;
}

SettingsRead readSettings(const QString& path) {
    SettingsRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return result;
    // The file holds five short lines; anything far larger is not ours and is read only in part.
    const QByteArray content = file.read(1 << 20);
    if (file.error() != QFileDevice::NoError) return result;
    result.opened = true;
    const QStringList fields = readFields(content, 5);
    result.count = static_cast<int>(fields.size());
    QString* targets[5] = {&result.values.DefaultDir, &result.values.FilePattern,
                         &result.values.StartMode, &result.values.DefaultEditor,
                         &result.values.TempDir};
    for (int k = 0; k < result.count; ++k) *targets[k] = fields[k];
    return result;
}

QByteArray formatSettings(const SettingsValues& values) {
    QByteArray out;
    for (const QString* value : {&values.DefaultDir, &values.FilePattern, &values.StartMode,
                                 &values.DefaultEditor, &values.TempDir}) {
        const QString line = needsQuotes(*value)
                                 ? QLatin1Char('"') + *value + QLatin1Char('"')
                                 : *value;
        out += line.toUtf8();
        out += "\r\n";
    }
    return out;
}

bool writeSettings(const QString& path, const SettingsValues& values, QString* error) {
    QString reason;
    if (writeWholeFile(path, formatSettings(values), &reason)) return true;
    if (error != nullptr)
        *error = QStringLiteral("The settings could not be saved to %1: %2").arg(path, reason);
    return false;
}

}  // namespace brisko::console
