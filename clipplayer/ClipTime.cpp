// The time left under a playing clip button.
#include "clipplayer/ClipTime.h"

#include <cmath>

namespace brisko::clip {

QString timeLeftText(int32_t length, int32_t position, int32_t rate) {
    const double played = rate != 0 ? double(position) / double(rate) : 0.0;
    const double left = std::nearbyint(double(length) / 1000.0 - played);  // halves to even
    const int64_t seconds = ((int64_t(left) % 3600) + 3600) % 3600;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace brisko::clip
