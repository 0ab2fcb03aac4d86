// The one table from Qt keys to virtual-key codes.
#include "ui/KeyCodes.h"

#include <QKeyEvent>

namespace brisko::ui {
namespace {

// Keys of the number pad: Qt reports them with the keypad modifier and the key of the symbol.
int keypadCode(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return vk::Numpad0 + (key - Qt::Key_0);
    switch (key) {
        case Qt::Key_Asterisk: return vk::Multiply;
        case Qt::Key_Plus: return vk::Add;
        case Qt::Key_Minus: return vk::Subtract;
        case Qt::Key_Period:
        case Qt::Key_Comma: return vk::Decimal;
        case Qt::Key_Slash: return vk::Divide;
        case Qt::Key_Enter: return vk::Return;
        default: return 0;  // navigation keys of the pad (Num Lock off) read as their own keys
    }
}

}  // namespace

int virtualKeyCode(int key, bool keypad) {
    if (keypad) {
        if (const int code = keypadCode(key); code != 0) return code;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return vk::LetterA + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return vk::Digit0 + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return vk::F1 + (key - Qt::Key_F1);
    switch (key) {
        // Plain presses of modifiers and lock keys are not keys of their own.
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
            return 0;
        case Qt::Key_Backspace: return vk::Back;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return vk::Tab;
        case Qt::Key_Return:
        case Qt::Key_Enter: return vk::Return;
        case Qt::Key_Pause: return vk::Pause;
        case Qt::Key_Escape: return vk::Escape;
        case Qt::Key_Space: return vk::Space;
        case Qt::Key_PageUp: return vk::Prior;
        case Qt::Key_PageDown: return vk::Next;
        case Qt::Key_End: return vk::End;
        case Qt::Key_Home: return vk::Home;
        case Qt::Key_Left: return vk::Left;
        case Qt::Key_Up: return vk::Up;
        case Qt::Key_Right: return vk::Right;
        case Qt::Key_Down: return vk::Down;
        case Qt::Key_Insert: return vk::Insert;
        case Qt::Key_Delete: return vk::Delete;
        // Shifted digits of a US keyboard belong to their digit key.
        case Qt::Key_ParenRight: return vk::Digit0;
        case Qt::Key_Exclam: return vk::Digit0 + 1;
        case Qt::Key_At: return vk::Digit0 + 2;
        case Qt::Key_NumberSign: return vk::Digit0 + 3;
        case Qt::Key_Dollar: return vk::Digit0 + 4;
        case Qt::Key_Percent: return vk::Digit0 + 5;
        case Qt::Key_AsciiCircum: return vk::Digit0 + 6;
        case Qt::Key_Ampersand: return vk::Digit0 + 7;
        case Qt::Key_Asterisk: return vk::Digit0 + 8;
        case Qt::Key_ParenLeft: return vk::Digit0 + 9;
        // Punctuation keys, plain and shifted.
        case Qt::Key_Semicolon:
        case Qt::Key_Colon: return vk::OemSemicolon;
        case Qt::Key_Equal:
        case Qt::Key_Plus: return vk::OemPlus;
        case Qt::Key_Comma:
        case Qt::Key_Less: return vk::OemComma;
        case Qt::Key_Minus:
        case Qt::Key_Underscore: return vk::OemMinus;
        case Qt::Key_Period:
        case Qt::Key_Greater: return vk::OemPeriod;
        case Qt::Key_Slash:
        case Qt::Key_Question: return vk::OemSlash;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde: return vk::OemTilde;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft: return vk::OemOpenBracket;
        case Qt::Key_Backslash:
        case Qt::Key_Bar: return vk::OemBackslash;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight: return vk::OemCloseBracket;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl: return vk::OemQuote;
        default: return 0;
    }
}

int virtualKeyCode(const QKeyEvent& event) {
    return virtualKeyCode(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
}

int modifierMask(Qt::KeyboardModifiers modifiers) {
    int mask = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) mask |= ShiftBit;
    if (modifiers.testFlag(Qt::ControlModifier)) mask |= CtrlBit;
    if (modifiers.testFlag(Qt::AltModifier)) mask |= AltBit;
    return mask;
}

}  // namespace brisko::ui
