// The Clip Player's key bindings.
#include "clipplayer/ClipKeys.h"

#include "ui/KeyCodes.h"

namespace brisko::clip {

int buttonForKey(int keyCode) {
    using namespace ui::vk;
    if (keyCode >= Digit0 + 1 && keyCode <= Digit0 + 9) return keyCode - Digit0 - 1;
    if (keyCode == Digit0) return 9;
    if (keyCode >= LetterA && keyCode <= LetterA + 25) return 10 + keyCode - LetterA;
    if (keyCode >= Numpad0 + 1 && keyCode <= Numpad0 + 9) return 36 + keyCode - Numpad0 - 1;
    if (keyCode == Numpad0) return 45;
    if (keyCode == Decimal) return 46;
    if (keyCode == Multiply) return 47;
    return -1;
}

QString keyLabel(int b) {
    if (b >= 0 && b <= 8) return QString::number(b + 1);
    if (b == 9) return QStringLiteral("0");
    if (b >= 10 && b <= 35) return QString(QChar('A' + (b - 10)));
    if (b >= 36 && b <= 44) return QStringLiteral("Num ") + QString::number(b - 35);
    if (b == 45) return QStringLiteral("Num 0");
    if (b == 46) return QStringLiteral("Num .");
    if (b == 47) return QStringLiteral("Num *");
    return QString();
}

}  // namespace brisko::clip
