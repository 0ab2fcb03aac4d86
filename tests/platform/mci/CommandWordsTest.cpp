// Word splitting and caseless keyword comparison, checked against plain character-by-character
// versions over every byte value and every length around the block sizes they work in.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/mci/CommandWords.h"
#include "platform/mci/Device.h"

namespace brisko::mci {
namespace {

bool plainBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool plainEqualsIgnoringCase(const std::string& a, const std::string& lowerB) {
    if (a.size() != lowerB.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char c = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
        if (c != lowerB[i]) return false;
    }
    return true;
}

// Unquoted words only: maximal runs of non-blanks.
std::vector<std::string> plainSplit(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (plainBlank(c)) {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

TEST(CaselessCompare, AgreesWithThePlainComparisonForEveryByteAtEveryPlace) {
    for (std::size_t length = 1; length <= 19; ++length) {
        const std::string lower(length, 'k');
        for (std::size_t at = 0; at < length; ++at) {
            for (int byte = 0; byte < 256; ++byte) {
                std::string a = lower;
                a[at] = static_cast<char>(byte);
                // Against a key that has the same byte lower-cased, and against the plain key.
                std::string key = lower;
                key[at] = (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte + 32) : static_cast<char>(byte);
                ASSERT_EQ(equalsIgnoringCase(a, key), plainEqualsIgnoringCase(a, key)) << length << " " << at << " " << byte;
                ASSERT_TRUE(equalsIgnoringCase(a, key)) << length << " " << at << " " << byte;
                ASSERT_EQ(equalsIgnoringCase(a, lower), plainEqualsIgnoringCase(a, lower)) << length << " " << at << " " << byte;
            }
        }
    }
    // The neighbours of the capitals and of the lower-case letters never match each other.
    EXPECT_FALSE(equalsIgnoringCase("@[`{@[`{", "`{@[`{@["));
    EXPECT_FALSE(equalsIgnoringCase("\xc1\xc1\xc1\xc1", "\xe1\xe1\xe1\xe1"));
    EXPECT_TRUE(equalsIgnoringCase("STATUS", "status"));
    EXPECT_TRUE(equalsIgnoringCase("PoSiTiOn", "position"));
    EXPECT_FALSE(equalsIgnoringCase("position", "positio"));
    EXPECT_TRUE(equalsIgnoringCase("", ""));
}

TEST(CaselessCompare, RandomStringsAgreeWithThePlainComparison) {
    std::mt19937 random(7);
    const std::string alphabet = "aAzZ@[`{09 \x7f\x80\xc1\xe1\xff";
    for (int round = 0; round < 200000; ++round) {
        const std::size_t length = random() % 20;
        std::string a;
        std::string b;
        for (std::size_t i = 0; i < length; ++i) {
            a += alphabet[random() % alphabet.size()];
            b += alphabet[random() % alphabet.size()];
        }
        // Half the time B is A lower-cased with one byte perhaps changed.
        if (round % 2 == 0) {
            b = a;
            for (char& c : b) c = lowerAscii(c);
            if (length > 0 && random() % 2 == 0) b[random() % length] = alphabet[random() % alphabet.size()];
        }
        ASSERT_EQ(equalsIgnoringCase(a, b), plainEqualsIgnoringCase(a, b)) << a << " / " << b;
    }
}

TEST(WordSplitting, AgreesWithThePlainSplitOnBlanksAndControlCharacters) {
    std::mt19937 random(11);
    const std::string alphabet = "ab \t\n\v\f\r\x01\x1f!\x7f\x80\xa0";
    for (int round = 0; round < 100000; ++round) {
        std::string command;
        const std::size_t length = random() % 40;
        for (std::size_t i = 0; i < length; ++i) command += alphabet[random() % alphabet.size()];
        CommandWords words;
        ASSERT_EQ(words.split(command), kOk);
        const std::vector<std::string> expected = plainSplit(command);
        ASSERT_EQ(static_cast<std::size_t>(words.size()), expected.size()) << command;
        for (int i = 0; i < words.size(); ++i) {
            ASSERT_EQ(words[i].text, expected[static_cast<std::size_t>(i)]) << command;
            ASSERT_FALSE(words[i].quoted);
        }
    }
}

TEST(WordSplitting, QuotesAndLimits) {
    CommandWords words;
    ASSERT_EQ(words.split("open \"C:\\My Music\\a \"b\".mp3\" alias x"), kOk);
    ASSERT_EQ(words.size(), 4);
    EXPECT_EQ(words[1].text, "C:\\My Music\\a \"b\".mp3");
    EXPECT_TRUE(words[1].quoted);
    EXPECT_EQ(words[3].text, "x");
    EXPECT_EQ(words.split("open \"never closed"), kErrBadQuote);
    ASSERT_EQ(words.split("a\x01quite_long_word_with\x02control  b"), kOk);
    ASSERT_EQ(words.size(), 2);
    EXPECT_EQ(words[0].text, "a\x01quite_long_word_with\x02control");
    std::string many;
    for (int i = 0; i < CommandWords::kMaxWords; ++i) many += "w ";
    EXPECT_EQ(words.split(many), kOk);
    EXPECT_EQ(words.split(many + "w"), kErrTooManyWords);
}

TEST(DecimalReply, MatchesTheStandardFormatting) {
    std::string out = "left over";
    for (int64_t v : {int64_t(0), int64_t(7), int64_t(-7), int64_t(123456), int64_t(10), int64_t(-1000),
                      INT64_MAX, INT64_MIN}) {
        writeDecimal(v, &out);
        EXPECT_EQ(out, std::to_string(v));
    }    // Every digit count, at both ends of it.
    for (int64_t p = 1; p <= INT64_MAX / 10; p *= 10) {
        for (int64_t v : {p - 1, p, p + 1, 10 * p - 1, -p, -(10 * p - 1), 7 * p + 3}) {
            writeDecimal(v, &out);
            ASSERT_EQ(out, std::to_string(v));
        }
    }
}

}  // namespace
}  // namespace brisko::mci
