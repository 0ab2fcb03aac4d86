// Key codes of the deck console: Qt keys translated to the platform's virtual-key numbers that the
// keyboard tables use, and the Shift/Ctrl/Alt state as a three-bit mask.
#pragma once

#include <Qt>

class QKeyEvent;

namespace brisko::ui {

namespace vk {
inline constexpr int Back = 8;
inline constexpr int Tab = 9;
inline constexpr int Return = 13;
inline constexpr int Pause = 19;
inline constexpr int Escape = 27;
inline constexpr int Space = 32;
inline constexpr int Prior = 33;  // Page Up
inline constexpr int Next = 34;   // Page Down
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Insert = 45;
inline constexpr int Delete = 46;
inline constexpr int Digit0 = 48;  // "0" .. "9" are 48 .. 57
inline constexpr int LetterA = 65; // "A" .. "Z" are 65 .. 90
inline constexpr int Numpad0 = 96; // keypad digits 96 .. 105
inline constexpr int Multiply = 106;
inline constexpr int Add = 107;
inline constexpr int Separator = 108;
inline constexpr int Subtract = 109;
inline constexpr int Decimal = 110;
inline constexpr int Divide = 111;
inline constexpr int F1 = 112;  // F1 .. F24 are 112 .. 135
inline constexpr int F12 = 123;
inline constexpr int OemSemicolon = 186;
inline constexpr int OemPlus = 187;   // "=" on the main keyboard
inline constexpr int OemComma = 188;
inline constexpr int OemMinus = 189;  // "-" on the main keyboard
inline constexpr int OemPeriod = 190;
inline constexpr int OemSlash = 191;
inline constexpr int OemTilde = 192;
inline constexpr int OemOpenBracket = 219;
inline constexpr int OemBackslash = 220;
inline constexpr int OemCloseBracket = 221;
inline constexpr int OemQuote = 222;
}  // namespace vk

// Modifier bits as the keyboard tables read them.
inline constexpr int ShiftBit = 1;
inline constexpr int CtrlBit = 2;
inline constexpr int AltBit = 4;

// The virtual-key code of a Qt key. KEYPAD tells a number-pad key from its main-keyboard twin
// (Qt marks it with Qt::KeypadModifier). Shifted symbols of a US keyboard give the code of their
// key ("!" is the "1" key). 0 for a key without a code here and for a plain press of a modifier
// (Shift, Ctrl, Alt, Meta, AltGr, the lock keys): those are not keys of their own.
int virtualKeyCode(int qtKey, bool keypad);
int virtualKeyCode(const QKeyEvent& event);

// The three-bit modifier mask: bit 0 Shift, bit 1 Ctrl, bit 2 Alt (0 .. 7).
int modifierMask(Qt::KeyboardModifiers modifiers);

}  // namespace brisko::ui
