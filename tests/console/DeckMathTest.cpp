// Rounding, numbers typed into boxes and the console's time texts.
#include <gtest/gtest.h>

#include "console/DeckMath.h"

using namespace brisko::console;

TEST(DeckMath, RoundsHalvesToEvenAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(roundToInt32(2.5), 2);
    EXPECT_EQ(roundToInt32(3.5), 4);
    EXPECT_EQ(roundToInt32(-2.5), -2);
    EXPECT_EQ(roundToInt32(99.5), 100);
    EXPECT_EQ(roundToInt32(98.4999), 98);
    EXPECT_FALSE(roundToInt32(3e9).has_value());
    EXPECT_FALSE(roundToInt32(-3e9).has_value());
    EXPECT_FALSE(roundToInt32(0.0 / 0.0).has_value());
    EXPECT_EQ(roundToInt32(2147483647.0), 2147483647);
}

TEST(DeckMath, LeadingValueOfTypedText) {
    EXPECT_EQ(leadingValue("5"), 5.0);
    EXPECT_EQ(leadingValue("  7.5s"), 7.5);
    EXPECT_EQ(leadingValue("-3"), -3.0);
    EXPECT_EQ(leadingValue("abc"), 0.0);
    EXPECT_EQ(leadingValue(""), 0.0);
    EXPECT_EQ(leadingValue("."), 0.0);
    EXPECT_EQ(leadingValue("1e2x"), 100.0);
    EXPECT_EQ(leadingValue("2e"), 2.0);
    EXPECT_EQ(leadingValue("1e999"), 0.0);  // not a finite number
}

TEST(DeckMath, TimeTexts) {
    EXPECT_EQ(clockText(0), "00:00:00");
    EXPECT_EQ(clockText(3 * 3600 + 25 * 60 + 7), "03:25:07");
    EXPECT_EQ(clockText(86400 + 5), "00:00:05");  // wraps at a day
    EXPECT_EQ(clockText(-3), "23:59:57");
    EXPECT_EQ(minutesSeconds(125), "02:05");
    EXPECT_EQ(minutesSeconds(3600 + 61), "01:01");  // an hour wraps
    EXPECT_EQ(minutesSeconds(-1), "59:59");
}

TEST(DeckMath, StartTimeChainSums) {
    EXPECT_EQ(addToClock("10:00:00", 185), QString("10:03:05"));
    EXPECT_EQ(addToClock("23:59:30", 45), QString("00:00:15"));
    EXPECT_EQ(addToClock("9:05:10", 0), QString("09:05:10"));
    EXPECT_FALSE(addToClock("", 10).has_value());
    EXPECT_FALSE(addToClock("10-00-00", 10).has_value());
    EXPECT_FALSE(addToClock("ab:cd:ef", 10).has_value());
}

TEST(DeckMath, TotalTimeAndTitles) {
    EXPECT_EQ(totalTimeText(1, 5, 9), "01:05:09");
    EXPECT_EQ(totalTimeText(100, 0, 0), "100:00:00");
    EXPECT_EQ(titleOf("Intro Jingle.mp3"), "Intro Jingle");
    EXPECT_EQ(titleOf("readme"), "re");
    EXPECT_EQ(titleOf(".wav"), "");
}
