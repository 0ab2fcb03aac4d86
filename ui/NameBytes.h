// Names as the system stores them: bytes. Text files and folders may hold names that are not
// valid UTF-8; these helpers carry such names in a QString without loss and give the same bytes
// back, so a name read from a file or a folder can be written back and opened as it was.
#pragma once

#include <QByteArray>
#include <QString>

namespace brisko::ui {

// BYTES as a QString. Valid UTF-8 decodes as usual; each byte of an invalid sequence becomes the
// lone code unit U+DC00 + byte (U+DC80..U+DCFF), which decoding valid UTF-8 never yields. This is
// the same carrying form the console's file lists use, so names pass between them unchanged.
QString nameFromBytes(const QByteArray& bytes);
// The bytes that nameFromBytes turned into NAME; ordinary text becomes UTF-8.
QByteArray nameBytes(const QString& name);
// NAME for the eye: each carried byte shows as the replacement character U+FFFD.
QString nameForDisplay(const QString& name);

}  // namespace brisko::ui
