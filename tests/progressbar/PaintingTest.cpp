// The bar as painted: colours, the exact edge of the filled part, the centred caption in both
// colour pairs, values at and beyond the bounds, an empty suffix and the upright bar.
#include <gtest/gtest.h>

#include <QApplication>

#include "LumaProgressBar.h"
#include "tests/progressbar/BarTestSupport.h"

using namespace lumabar::test;

namespace {

// Every pixel of ROW from column FROM to TO (exclusive) has COLOR.
bool rowIs(const QImage& image, int row, int from, int to, QColor color) {
    for (int x = from; x < to; ++x)
        if (image.pixelColor(x, row) != color) return false;
    return true;
}

bool columnIs(const QImage& image, int column, int from, int to, QColor color) {
    for (int y = from; y < to; ++y)
        if (image.pixelColor(column, y) != color) return false;
    return true;
}

// A new control of 200 × 24 and its two colours.
class BarPainting : public ::testing::Test {
protected:
    BarPainting() {
        prepare(bar, 200, 24);
        back = backOf(bar);
        fore = foreOf(bar);
    }

    QApplication& application = app();
    LumaProgressBar bar;
    QColor back;
    QColor fore;
};

}  // namespace

TEST_F(BarPainting, NewBarIsHalfBlueWithTheCaptionChangingColourAtTheEdge) {
    const QImage image = grabBar(bar);
    ASSERT_EQ(fore, QColor(0, 0, 255));
    ASSERT_EQ(back, bar.palette().color(QPalette::Button));  // the button-face system colour
    ASSERT_NE(back, fore);
    EXPECT_TRUE(onlyTwoColors(image, back, fore));

    // Above the caption: blue up to column 99, the back colour from column 100 on.
    EXPECT_TRUE(rowIs(image, 0, 0, 100, fore));
    EXPECT_TRUE(rowIs(image, 0, 100, 200, back));
    EXPECT_TRUE(rowIs(image, 23, 0, 100, fore));

    // The caption straddles the edge: back-on-blue left of it, blue-on-back right of it, centred.
    const QRect text = textBox(image, QRect(0, 0, 100, 24), back, fore);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_LT(text.left(), 100);
    EXPECT_GE(text.right(), 100);
    EXPECT_NEAR(text.left() + text.width() / 2.0, 100, 2.0);
    EXPECT_NEAR(text.top() + text.height() / 2.0, 12, 3.0);
    EXPECT_GT(text.width(), 20);  // three glyphs: "50%"
}

TEST_F(BarPainting, BoundsAndValuesBeyondThemFillNothingOrEverything) {
    bar.setValue(0);  // 0%: no filled part, blue caption on the back colour
    QImage image = grabBar(bar);
    EXPECT_TRUE(rowIs(image, 0, 0, 200, back));
    const QRect zero = textBox(image, QRect(), back, fore);
    ASSERT_FALSE(zero.isEmpty());
    EXPECT_NEAR(zero.left() + zero.width() / 2.0, 100, 2.0);

    bar.setValue(100);  // 100%: all blue, caption in the back colour
    image = grabBar(bar);
    EXPECT_TRUE(rowIs(image, 0, 0, 200, fore));
    EXPECT_TRUE(rowIs(image, 23, 0, 200, fore));
    const QRect hundred = textBox(image, image.rect(), back, fore);
    EXPECT_GT(hundred.width(), zero.width());  // "100%" against "0%"

    bar.setValue(-50);  // below Min: accepted, reads -50%, nothing filled
    EXPECT_EQ(bar.value(), -50.0F);
    image = grabBar(bar);
    EXPECT_TRUE(rowIs(image, 0, 0, 200, back));
    EXPECT_TRUE(onlyTwoColors(image, back, fore));
    EXPECT_GT(textBox(image, QRect(), back, fore).width(), zero.width());

    bar.setValue(1e30);  // far above Max: the whole bar, and nothing drawn outside it
    image = grabBar(bar);
    EXPECT_TRUE(rowIs(image, 0, 0, 200, fore));
    EXPECT_TRUE(onlyTwoColors(image, back, fore));

    // An empty range: below its one point the bar is empty, from it on full; never a division.
    bar.setRange(100, 100);
    bar.setValue(99);
    EXPECT_TRUE(rowIs(grabBar(bar), 0, 0, 200, back));
    bar.setValue(100);
    EXPECT_TRUE(rowIs(grabBar(bar), 0, 0, 200, fore));
}

TEST_F(BarPainting, EmptyBarTextShowsTheBareNumberCentred) {
    const QRect withSuffix = textBox(grabBar(bar), QRect(0, 0, 100, 24), back, fore);
    bar.setBarText(QString());
    const QImage image = grabBar(bar);
    const QRect bare = textBox(image, QRect(0, 0, 100, 24), back, fore);
    ASSERT_FALSE(bare.isEmpty());
    EXPECT_LT(bare.width(), withSuffix.width() - 4);
    EXPECT_NEAR(bare.left() + bare.width() / 2.0, 100, 2.0);
    EXPECT_TRUE(rowIs(image, 0, 0, 100, fore));
    EXPECT_TRUE(rowIs(image, 0, 100, 200, back));
}

TEST_F(BarPainting, OrientationOneTurnsTheControlUprightAndFillsFromTheBottom) {
    // Set by the caller before the control is first shown, as a host builds its window.
    bar.setOrientation(1);
    EXPECT_EQ(bar.size(), QSize(24, 200));
    bar.setValue(25);
    const QImage image = grabBar(bar);
    ASSERT_EQ(image.size(), QSize(24, 200));
    // The lowest quarter is blue, from row 150 down; above it the back colour (the caption in the
    // middle is wider than the bar).
    EXPECT_TRUE(columnIs(image, 0, 150, 200, fore));
    EXPECT_TRUE(columnIs(image, 23, 150, 200, fore));
    EXPECT_TRUE(columnIs(image, 0, 110, 150, back));
    EXPECT_TRUE(columnIs(image, 0, 0, 90, back));
    const QRect text = textBox(image, QRect(0, 150, 24, 50), back, fore);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_NEAR(text.top() + text.height() / 2.0, 100, 3.0);

    // Another vertical value keeps the shape; back to horizontal turns it back.
    bar.setOrientation(2);
    EXPECT_EQ(bar.size(), QSize(24, 200));
    bar.setOrientation(0);
    EXPECT_EQ(bar.size(), QSize(200, 24));
}
