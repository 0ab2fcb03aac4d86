// Qt keys to virtual-key codes, and the modifier mask, including what real key events deliver.
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "tests/dialogs/FakeMedia.h"
#include "ui/KeyCodes.h"

using brisko::ui::modifierMask;
using brisko::ui::virtualKeyCode;

TEST(KeyCodes, NumberPadKeysDifferFromTheirMainKeyboardTwins) {
    EXPECT_EQ(virtualKeyCode(Qt::Key_Plus, true), 107);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Minus, true), 109);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Asterisk, true), 106);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Slash, true), 111);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Period, true), 110);
    EXPECT_EQ(virtualKeyCode(Qt::Key_0, true), 96);
    EXPECT_EQ(virtualKeyCode(Qt::Key_9, true), 105);
    // The main keyboard: "=" and its shifted "+" are one key, as are "-" and "_".
    EXPECT_EQ(virtualKeyCode(Qt::Key_Equal, false), 187);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Plus, false), 187);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Minus, false), 189);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Underscore, false), 189);
    // Pad keys without Num Lock read as the navigation keys they stand for.
    EXPECT_EQ(virtualKeyCode(Qt::Key_Home, true), 36);
    EXPECT_EQ(virtualKeyCode(Qt::Key_PageDown, true), 34);
}

TEST(KeyCodes, ShiftedSymbolsBelongToTheirKeyAndModifiersAloneAreNoKeys) {
    EXPECT_EQ(virtualKeyCode(Qt::Key_Exclam, false), 49);
    EXPECT_EQ(virtualKeyCode(Qt::Key_ParenRight, false), 48);
    EXPECT_EQ(virtualKeyCode(Qt::Key_ParenLeft, false), 57);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Asterisk, false), 56);
    for (int key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_Meta, Qt::Key_AltGr,
                    Qt::Key_CapsLock, Qt::Key_NumLock})
        EXPECT_EQ(virtualKeyCode(key, false), 0) << key;
    EXPECT_EQ(virtualKeyCode(Qt::Key_unknown, false), 0);
}

TEST(KeyCodes, ModifierMaskHasShiftCtrlAltBitsOnly) {
    EXPECT_EQ(modifierMask(Qt::NoModifier), 0);
    EXPECT_EQ(modifierMask(Qt::ShiftModifier), 1);
    EXPECT_EQ(modifierMask(Qt::ControlModifier), 2);
    EXPECT_EQ(modifierMask(Qt::AltModifier), 4);
    EXPECT_EQ(modifierMask(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier), 7);
    EXPECT_EQ(modifierMask(Qt::KeypadModifier | Qt::MetaModifier), 0);
    EXPECT_EQ(modifierMask(Qt::KeypadModifier | Qt::AltModifier), 4);
}

namespace {

// Records what a key handler would see: the code and mask of every press that is a key.
class KeyRecorder : public QWidget {
public:
    std::vector<std::pair<int, int>> seen;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int code = virtualKeyCode(*event);
        if (code != 0) seen.emplace_back(code, modifierMask(event->modifiers()));
    }
};

}  // namespace

TEST(KeyCodes, RealKeyEventsWithModifiersGiveOneKeyEach) {
    brisko::test::dialogsApp();
    KeyRecorder w;
    // A click with modifiers also sends presses of Shift, Ctrl and Alt; those are not keys.
    QTest::keyClick(&w, Qt::Key_F3, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(&w, Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyClick(&w, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(&w, Qt::Key_Minus);
    QTest::keyClick(&w, Qt::Key_H, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_F12, Qt::AltModifier);
    const std::vector<std::pair<int, int>> expected = {
        {114, 7}, {107, 0}, {109, 0}, {189, 0}, {72, 2}, {123, 4}};
    EXPECT_EQ(w.seen, expected);
}
