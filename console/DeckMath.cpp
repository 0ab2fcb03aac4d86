// Numbers and time texts of the deck console.
#include "console/DeckMath.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "platform/common/Clock.h"

namespace brisko::console {

std::optional<int32_t> roundToInt32(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    // nearbyint rounds in the current mode, which is to-nearest-even unless someone changed it.
    const int saved = std::fegetround();
    if (saved != FE_TONEAREST) std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    if (saved != FE_TONEAREST) std::fesetround(saved);
    if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    return static_cast<int32_t>(rounded);
}

double leadingValue(const QString& text) {
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n && (text[pos] == QLatin1Char(' ') || text[pos] == QLatin1Char('\t'))) ++pos;
    const qsizetype start = pos;
    if (pos < n && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) ++pos;
    bool digits = false;
    while (pos < n && text[pos].isDigit() && text[pos].unicode() < 128) ++pos, digits = true;
    if (pos < n && text[pos] == QLatin1Char('.')) {
        ++pos;
        while (pos < n && text[pos].isDigit() && text[pos].unicode() < 128) ++pos, digits = true;
    }
    if (!digits) return 0.0;
    qsizetype end = pos;
    if (pos < n && (text[pos] == QLatin1Char('e') || text[pos] == QLatin1Char('E'))) {
        qsizetype e = pos + 1;
        if (e < n && (text[e] == QLatin1Char('+') || text[e] == QLatin1Char('-'))) ++e;
        const qsizetype expDigits = e;
        while (e < n && text[e].isDigit() && text[e].unicode() < 128) ++e;
        if (e > expDigits) end = e;
    }
    bool ok = false;
    const double value = text.mid(start, end - start).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

QString clockText(int64_t seconds) {
    constexpr int64_t kDay = 86400;
    const int64_t s = ((seconds % kDay) + kDay) % kDay;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString clockText(const TimeOfDay& time) {
    return clockText(int64_t{time.hour} * 3600 + int64_t{time.minute} * 60 + time.second);
}

QString minutesSeconds(int64_t seconds) { return clockText(seconds).mid(3, 5); }

std::optional<QString> addToClock(const QString& start, int64_t length) {
    const qsizetype first = start.indexOf(QLatin1Char(':'));
    if (first <= 0) return std::nullopt;
    const qsizetype second = start.indexOf(QLatin1Char(':'), first + 1);
    if (second < 0) return std::nullopt;
    bool okH = false, okM = false, okS = false;
    const int64_t h = start.left(first).trimmed().toLongLong(&okH);
    const int64_t m = start.mid(first + 1, 2).trimmed().toLongLong(&okM);
    const int64_t s = start.mid(second + 1, 2).trimmed().toLongLong(&okS);
    if (!okH || !okM || !okS) return std::nullopt;
    constexpr int64_t kLimit = int64_t{1} << 40;  // far beyond any clip; keeps the sum in range
    if (h < -kLimit || h > kLimit || length < -kLimit || length > kLimit) return std::nullopt;
    return clockText(h * 3600 + m * 60 + s + length);
}

QString totalTimeText(int64_t hours, int64_t minutes, int64_t seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

QString titleOf(const QString& fileName) {
    return fileName.size() > 4 ? fileName.left(fileName.size() - 4) : QString();
}

}  // namespace brisko::console
