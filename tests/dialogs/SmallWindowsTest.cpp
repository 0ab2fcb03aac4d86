// The Help window, the Set Index dialog and the About box.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "console/frmAbout.h"
#include "console/frmHelp.h"
#include "console/frmSetIndex.h"
#include "tests/dialogs/FakeMedia.h"
#include "ui/Prompt.h"

namespace {

class SmallWindows : public ::testing::Test {
protected:
    void SetUp() override { brisko::test::dialogsApp(); }
};

}  // namespace

TEST_F(SmallWindows, HelpShowsTheEightKeyboardLinesAndOnlyHidesOnExit) {
    QPointer<frmHelp> help = new frmHelp;
    EXPECT_EQ(help->windowTitle(), "Help");
    const QLineEdit* boxes[9] = {help->Text1, help->Text2, help->Text3, help->Text4, help->Text5,
                                 help->Text6, help->Text7, help->Text8, help->Text9};
    const char* expected[9] = {
        "Shift and function key plays deck again pauses the deck",
        "Control and function key stops the deck",
        "ALT and function key sets focus to the deck and reads time and clip name.",
        "Shift and control sets the deck segue check box, again unsets it",
        "ALT Shift and Function key fades the clip out",
        "CTRL ALT and Function key sets focus to time remaining",
        "Function keys reduce volume of clip and number keys increase volume. Use - and = for "
        "decks 11 and 12.",
        "Press the T Key to duck the audio on the currently palying deck, press again to return "
        "to previous volume",
        ""};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(boxes[k]->text(), QString::fromUtf8(expected[k])) << k;
    EXPECT_EQ(help->Command1->text(), "E&xit Window");

    for (int round = 0; round < 2; ++round) {
        help->show();
        EXPECT_TRUE(help->isVisible());
        QTest::mouseClick(help->Command1, Qt::LeftButton);
        QApplication::processEvents();
        ASSERT_FALSE(help.isNull()) << "Exit Window must hide the window, not destroy it";
        EXPECT_FALSE(help->isVisible());
        EXPECT_EQ(help->Text8->text(), QString::fromUtf8(expected[7]));
    }
    delete help;
}

TEST_F(SmallWindows, SetIndexCaptionsAndTheIndexItGives) {
    frmSetIndex dialog;
    EXPECT_EQ(dialog.windowTitle(), "Set Index");
    EXPECT_EQ(dialog.Label1->text(), "Set Index to what slot");
    EXPECT_EQ(dialog.Label2->text(),
              "Set this number to the deck number you want to start the next time the SPACE bar "
              "is pressed");
    EXPECT_EQ(dialog.Command1->text(), "OK");

    const std::pair<const char*, int> cases[] = {
        {"1", 0}, {"12", 11}, {"13", 12}, {"", -1}, {"abc", -1}, {" 3", 2}, {"4 deck", 3},
        {"-2", -3}, {"2.5", 2}, {"3.5", 2}, {"4.5", 4}};
    for (const auto& [text, index] : cases) {
        dialog.Text1->setText(QString::fromUtf8(text));
        const auto chosen = dialog.chosenIndex();
        ASSERT_TRUE(chosen.has_value()) << text;
        EXPECT_EQ(*chosen, index) << text;
    }
    // A number past the range of an index changes nothing.
    dialog.Text1->setText("99999999");
    EXPECT_FALSE(dialog.chosenIndex().has_value());
}

TEST_F(SmallWindows, SetIndexOkHidesTheDialogAndKeepsItsNumber) {
    frmSetIndex dialog;
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.Text1->setText("7");
        QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    });
    dialog.exec();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Text1->text(), "7");
    EXPECT_EQ(dialog.chosenIndex().value_or(-99), 6);
}

TEST_F(SmallWindows, AboutBoxGoesAwayWhenClosedWithOk) {
    QPointer<frmAbout> about = new frmAbout;
    EXPECT_EQ(about->windowTitle(), "About Brisko");
    QTimer::singleShot(0, about, [about] {
        // Clicking the description changes nothing; OK closes.
        QTest::mouseClick(about->lblDescription, Qt::LeftButton);
        ASSERT_TRUE(about->isVisible());
        QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    });
    about->exec();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());
}

// A message box lives while its nested event loop runs; the window it belongs to may be closed
// for good meanwhile (a press that reaches that window over the accessibility bus, a timer). The
// question then ends as unanswered instead of freeing the box twice.
TEST_F(SmallWindows, AMessageOutlivesTheWindowThatAskedIt) {
    auto* owner = new QWidget;
    owner->show();
    bool deleted = false;
    QTimer::singleShot(50, [&] {
        delete owner;
        deleted = true;
    });
    const brisko::ui::PromptAnswer answer = brisko::ui::message(
        owner, {QStringLiteral("Go on?"), QStringLiteral("Brisko"), brisko::ui::PromptButtons::YesNo,
                brisko::ui::PromptIcon::Question});
    EXPECT_TRUE(deleted);
    EXPECT_EQ(answer, brisko::ui::PromptAnswer::Cancel);
}
