// Lossless names: invalid UTF-8 bytes carried as lone low surrogates.
#include "ui/NameBytes.h"

namespace brisko::ui {
namespace {

constexpr char16_t kCarry = 0xDC00;

// A carried byte: a low surrogate U+DC80..U+DCFF that is not the second half of a pair.
bool carriedAt(const QString& name, qsizetype k) {
    const char16_t u = name[k].unicode();
    if (u < kCarry + 0x80 || u > kCarry + 0xFF) return false;
    return k == 0 || !name[k - 1].isHighSurrogate();
}

// The length of the well-formed UTF-8 sequence at P (N bytes left), or 0.
int sequenceLength(const unsigned char* p, qsizetype n) {
    const unsigned char lead = p[0];
    if (lead < 0x80) return 1;
    int length;
    char32_t value, least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (n < length) return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (p[k] & 0x3Fu);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

QString nameFromBytes(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    out.reserve(n);
    qsizetype run = 0;  // start of the valid text not yet decoded
    for (qsizetype k = 0; k < n;) {
        const int length = sequenceLength(p + k, n - k);
        if (length > 0) {
            k += length;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + run, k - run);
        out += QChar(char16_t(kCarry + p[k]));
        run = ++k;
    }
    out += QString::fromUtf8(bytes.constData() + run, n - run);
    return out;
}

QByteArray nameBytes(const QString& name) {
    QByteArray out;
    out.reserve(name.size());
    qsizetype run = 0;
    for (qsizetype k = 0; k < name.size(); ++k) {
        if (!carriedAt(name, k)) continue;
        out += QStringView(name).mid(run, k - run).toUtf8();
        out += char(name[k].unicode() - kCarry);
        run = k + 1;
    }
    out += QStringView(name).mid(run).toUtf8();
    return out;
}

QString nameForDisplay(const QString& name) {
    QString out = name;
    for (qsizetype k = 0; k < out.size(); ++k)
        if (carriedAt(out, k)) out[k] = QChar::ReplacementCharacter;
    return out;
}

}  // namespace brisko::ui
