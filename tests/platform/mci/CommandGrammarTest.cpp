// The command grammar and replies of the media control interface, through a scripted device.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/mci/Device.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciErrors.h"
#include "tests/platform/mci/FakeDevice.h"

namespace brisko::mci {
namespace {

using test::fake;
using Calls = std::vector<std::string>;

class CommandGrammar : public ::testing::Test {
protected:
    void SetUp() override {
        mciSendString("close all");
        test::installFakeDevices();
    }
    void TearDown() override { mciSendString("close all"); }

    // Sends COMMAND and returns its reply; fails the test on an error.
    std::string ok(const std::string& command) {
        std::string reply = "stale";
        const MciError e = mciSendString(command, &reply);
        EXPECT_EQ(e, kOk) << command << ": " << mciGetErrorString(e);
        return reply;
    }
    // Sends COMMAND and returns its error code; an error never leaves a reply behind.
    MciError code(const std::string& command) {
        std::string reply = "stale";
        const MciError e = mciSendString(command, &reply);
        EXPECT_EQ(reply, "") << command;
        return e;
    }
    void openFile(const std::string& alias = "a") {
        ok("open /x/file.wav type testdevice alias " + alias);
        fake().calls.clear();
    }
};

TEST_F(CommandGrammar, KeywordsAndAliasesIgnoreCase) {
    ok("OPEN /x/y.mp3 TYPE TESTDEVICE ALIAS Voice7");
    fake().mode = "playing";
    EXPECT_EQ(ok("Status VOICE7 MODE"), "playing");
    EXPECT_EQ(ok("status voice7 Position"), "0");
    ok("PLAY voice7 FROM 10 TO 20");
    ok("Pause VOICE7");
    ok("RESUME voice7");
    ok("Stop Voice7");
    EXPECT_EQ(fake().calls, (Calls{"play 10 20", "pause", "resume", "stop"}));
    ok("Close VOICE7");
    EXPECT_EQ(code("status voice7 mode"), kErrNotOpen);
}

TEST_F(CommandGrammar, OpenReadsElementTypeAliasAndFlags) {
    ok("open \"/music/My \"Best\".mp3\" type testdevice Alias x parent 123456 Style 1073741824");
    ok("open /plain/path.wav type testdevice alias y wait notify shareable style child");
    ok("open cdaudio_is_not_this type testdevice");  // no alias: the element names the device
    ok("open testcd alias cd wait shareable");      // a device opened by its type name alone
    ASSERT_EQ(fake().opens.size(), 4u);
    EXPECT_EQ(fake().opens[0].element, "/music/My \"Best\".mp3");
    EXPECT_EQ(fake().opens[0].typeName, "testdevice");
    EXPECT_EQ(fake().opens[0].alias, "x");
    EXPECT_FALSE(fake().opens[0].shareable);
    EXPECT_EQ(fake().opens[1].element, "/plain/path.wav");
    EXPECT_TRUE(fake().opens[1].shareable);
    EXPECT_EQ(fake().opens[2].alias, "cdaudio_is_not_this");
    EXPECT_EQ(fake().opens[3].element, "");
    EXPECT_EQ(fake().opens[3].alias, "cd");
    EXPECT_EQ(ok("status cdaudio_is_not_this mode"), "stopped");
}

TEST_F(CommandGrammar, OpenRefusals) {
    EXPECT_EQ(code("open"), kErrMissingDevice);
    EXPECT_EQ(code("open /x.wav type"), kErrMissingParameter);
    EXPECT_EQ(code("open /x.wav type testdevice alias"), kErrMissingParameter);
    EXPECT_EQ(code("open /x.wav type nosuchdevice alias a"), kErrUnknownDeviceType);
    EXPECT_EQ(code("open /x.wav type testdevice alias a colour red"), kErrUnknownKeyword);
    EXPECT_EQ(code("open /x.wav type testdevice alias a parent twelve"), kErrBadNumber);
    EXPECT_EQ(code("open /x.wav type testdevice alias a style 99999999999999999999999"), kErrBadNumber);
    EXPECT_EQ(code("open /x.wav type testdevice alias ALL"), kErrReservedAlias);
    EXPECT_EQ(code("open /x.wav type testdevice alias \"\""), kErrMissingParameter);
    EXPECT_EQ(code("open \"\" type testdevice alias a"), kErrFileNotFound);
    EXPECT_EQ(code("open testdevice alias a"), kErrNeedsElement);
    fake().failNextOpen = kErrCannotPlayFile;
    EXPECT_EQ(code("open /x.wav type testdevice alias a"), kErrCannotPlayFile);
    fake().throwOnOpen = true;
    EXPECT_EQ(code("open /x.wav type testdevice alias a"), kErrInternal);
    fake().throwOnOpen = false;
    // None of the failed opens left an alias behind.
    EXPECT_EQ(code("status a mode"), kErrNotOpen);
    EXPECT_TRUE(fake().opens.empty());
}

TEST_F(CommandGrammar, OpeningAnOpenAliasGivesTheOnlyTextBeginningTheSpe) {
    openFile("voice0");
    const MciError e = code("open /x/other.wav type testdevice alias VOICE0");
    EXPECT_EQ(e, kErrAliasInUse);
    EXPECT_EQ(mciGetErrorString(e).rfind("The spe", 0), 0u);
    for (MciError c = 0; c <= kErrLast + 5; ++c) {
        const std::string text = mciGetErrorString(c);
        EXPECT_FALSE(text.empty());
        EXPECT_LT(text.size(), 128u) << c;  // callers read into 128-character buffers
        if (c != kErrAliasInUse) {
            EXPECT_NE(text.rfind("The spe", 0), 0u) << c << ": " << text;
        }
    }
    // The alias still reaches the first device.
    ok("close voice0");
    EXPECT_EQ(fake().calls, (Calls{"close"}));
}

TEST_F(CommandGrammar, PlayPositionsAndTheirErrors) {
    openFile();
    ok("play a");
    ok("play a from 0 to 180000");
    ok("play a to 300 wait");
    ok("play a notify from -5");
    EXPECT_EQ(fake().calls, (Calls{"play - -", "play 0 180000", "play - 300", "play -5 -"}));
    EXPECT_EQ(code("play a from"), kErrMissingParameter);
    EXPECT_EQ(code("play a from ten"), kErrBadNumber);
    EXPECT_EQ(code("play a from 1.5"), kErrBadNumber);
    EXPECT_EQ(code("play a twice"), kErrUnknownKeyword);
    EXPECT_EQ(code("play a from 9223372036854775808"), kErrBadNumber);
    EXPECT_EQ(code("play all"), kErrAllNotAllowed);
    EXPECT_EQ(code("play"), kErrMissingDevice);
    EXPECT_EQ(code("play nobody"), kErrNotOpen);
}

TEST_F(CommandGrammar, SeekTargets) {
    openFile();
    ok("seek a to 1234");
    ok("seek a to start");
    ok("SEEK a TO END wait");
    EXPECT_EQ(fake().calls, (Calls{"seek position 1234", "seek start 0", "seek end 0"}));
    EXPECT_EQ(code("seek a"), kErrMissingParameter);
    EXPECT_EQ(code("seek a to"), kErrMissingParameter);
    EXPECT_EQ(code("seek a from 3"), kErrUnknownKeyword);
    EXPECT_EQ(code("seek a to later"), kErrBadNumber);
}

TEST_F(CommandGrammar, StatusItemsAndTheirReplies) {
    openFile();
    fake().length = 180000;
    // Twice: a query sent before is answered from what its text was parsed to.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        fake().position = 4321;
        EXPECT_EQ(ok("status a length"), "180000");
        EXPECT_EQ(ok("status a position wait"), "4321");
        EXPECT_EQ(ok("status a mode"), "stopped");
        EXPECT_EQ(ok("status a speed"), "1000");
        EXPECT_EQ(ok("status a volume"), "995");
        EXPECT_EQ(ok("status a left volume"), "100");
        EXPECT_EQ(ok("status a RIGHT Volume"), "200");
        EXPECT_EQ(ok("status a media present"), "true");
        EXPECT_EQ(ok("status a number of tracks wait"), "1");
        EXPECT_EQ(ok("status a current track"), "3");
        EXPECT_EQ(ok("status a length track 7"), "7000");
        EXPECT_EQ(ok("status a ready"), "true");
        EXPECT_EQ(ok("status a start position"), "0");
        EXPECT_EQ(ok("status a type track 1"), "audio");
        EXPECT_EQ(ok("status a time format"), "milliseconds");
        fake().position = 4321 + round;  // asked of the device each time
        EXPECT_EQ(ok("status a position wait"), std::to_string(4321 + round));
    }
    fake().mediaPresent = false;
    EXPECT_EQ(ok("status a media present"), "false");

    EXPECT_EQ(code("status a"), kErrUnknownStatusItem);
    EXPECT_EQ(code("status a wait"), kErrUnknownStatusItem);
    EXPECT_EQ(code("status a colour"), kErrUnknownStatusItem);
    EXPECT_EQ(code("status a mode mode"), kErrUnknownStatusItem);
    EXPECT_EQ(code("status a number of"), kErrUnknownStatusItem);
    EXPECT_EQ(code("status a length track"), kErrMissingParameter);
    EXPECT_EQ(code("status a length track x"), kErrBadNumber);
    EXPECT_EQ(code("status a length track 0"), kErrOutOfRange);
    EXPECT_EQ(code("status a a b c d e f"), kErrUnknownStatusItem);
    EXPECT_EQ(code("status all mode"), kErrAllNotAllowed);
    // A query without a reply string is still carried out.
    EXPECT_EQ(mciSendString("status a position"), kOk);
}

TEST_F(CommandGrammar, SetTimeFormatSpeedAndDoor) {
    openFile();
    ok("set a time format frames");
    EXPECT_EQ(ok("status a time format"), "frames");
    ok("set a time format ms wait");
    EXPECT_EQ(ok("status a time format"), "milliseconds");
    ok("set a time format MilliSeconds");
    EXPECT_EQ(code("set a time format tmsf"), kErrUnsupportedTimeFormat);
    EXPECT_EQ(code("set a time format fortnights"), kErrUnknownTimeFormat);
    EXPECT_EQ(code("set a time format"), kErrMissingParameter);
    EXPECT_EQ(code("set a time zone utc"), kErrUnknownKeyword);
    EXPECT_EQ(ok("status a time format"), "milliseconds");  // failed sets change nothing
    ok("set a speed 1500");
    EXPECT_EQ(code("set a speed"), kErrMissingParameter);
    EXPECT_EQ(code("set a speed fast"), kErrBadNumber);
    EXPECT_EQ(code("set a door open"), kErrUnsupportedCommand);
    EXPECT_EQ(code("set a"), kErrMissingParameter);
    EXPECT_EQ(code("set a wait"), kErrMissingParameter);
    EXPECT_EQ(fake().calls, (Calls{"speed 1500"}));

    ok("open testcd alias cd wait shareable");
    ok("set cd time format tmsf wait");
    EXPECT_EQ(ok("status cd time format"), "tmsf");
    ok("seek cd to 3");  // in tmsf a bare number is a track (the fake keeps track × 1000)
    ok("set cd door open");
    ok("set cd door closed");
    EXPECT_EQ(code("set cd door ajar"), kErrUnknownKeyword);
    EXPECT_EQ(fake().calls, (Calls{"speed 1500", "seek position 3000", "door open", "door closed"}));
}

TEST_F(CommandGrammar, SetaudioSidesAndValues) {
    openFile();
    ok("setaudio a volume to 500");
    ok("setaudio a Left Volume to 0");
    ok("setaudio a RIGHT volume to 1000 wait");
    EXPECT_EQ(fake().calls, (Calls{"volume both 500", "volume left 0", "volume right 1000"}));
    EXPECT_EQ(code("setaudio a volume"), kErrMissingParameter);
    EXPECT_EQ(code("setaudio a volume to"), kErrMissingParameter);
    EXPECT_EQ(code("setaudio a volume to loud"), kErrBadNumber);
    EXPECT_EQ(code("setaudio a left right volume to 3"), kErrUnknownKeyword);
    EXPECT_EQ(code("setaudio a volume to 3 to 4"), kErrUnknownKeyword);
    EXPECT_EQ(code("setaudio a centre volume to 3"), kErrUnknownKeyword);
    EXPECT_EQ(code("setaudio a to 3"), kErrUnknownKeyword);
}

TEST_F(CommandGrammar, CloseAndCommandsToAll) {
    openFile("a");
    openFile("b");
    ok("pause all");
    ok("stop all wait");
    EXPECT_EQ(fake().calls, (Calls{"pause", "pause", "stop", "stop"}));
    EXPECT_EQ(code("close a now"), kErrUnknownKeyword);
    ok("close a wait");
    EXPECT_EQ(code("close a"), kErrNotOpen);
    ok("Close All");
    EXPECT_EQ(code("status b mode"), kErrNotOpen);
    ok("close all");  // nothing open: still fine
    EXPECT_EQ(code("close"), kErrMissingDevice);
    // The alias is free again after a close.
    openFile("a");
}

// A thread remembers the aliases it used; an alias closed and opened again as another device must
// lead to the new one, also while another thread closes and reopens it under the queries.
TEST_F(CommandGrammar, AReopenedAliasLeadsToItsNewDevice) {
    ok("open testcd alias a");
    ok("set a time format tmsf");
    EXPECT_EQ(ok("status a time format"), "tmsf");
    ok("close a");
    EXPECT_EQ(code("status a time format"), kErrNotOpen);
    ok("open /x/file.wav type testdevice alias A");
    EXPECT_EQ(ok("status a time format"), "milliseconds");

    std::atomic<bool> done{false};
    std::atomic<int> answers{0};
    std::atomic<int> wrong{0};
    std::thread querier([&] {
        std::string reply;
        while (!done.load()) {
            const MciError e = mciSendString("status a time format", &reply);
            if (e == kOk && (reply == "tmsf" || reply == "milliseconds"))
                ++answers;
            else if (e != kErrNotOpen)
                ++wrong;
        }
        // The device opened last, whatever this thread saw before.
        if (mciSendString("status a time format", &reply) != kOk || reply != "milliseconds")
            ++wrong;
    });
    // Writes under the alias's lock while the querier reads (a race the thread sanitizer sees).
    std::thread setter([&] {
        while (!done.load()) {
            const MciError e = mciSendString("set a time format ms");
            if (e != kOk && e != kErrNotOpen) ++wrong;
        }
    });
    for (int round = 0; round < 300; ++round) {
        ok("close a");
        if (round % 2 == 0) {
            ok("open testcd alias a");
            ok("set a time format tmsf");
        } else {
            ok("open /x/file.wav type testdevice alias a");
        }
        if (round % 50 == 0) {
            while (answers.load() < round / 50 + 1) std::this_thread::yield();
        }
    }
    ok("close a");
    ok("open /x/file.wav type testdevice alias a");
    done.store(true);
    querier.join();
    setter.join();
    EXPECT_GT(answers.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(CommandGrammar, MalformedCommandsGiveErrors) {
    EXPECT_EQ(code(""), kErrEmptyCommand);
    EXPECT_EQ(code(" \t\r\n "), kErrEmptyCommand);
    EXPECT_EQ(code("dance voice0"), kErrUnknownCommand);
    EXPECT_EQ(code("\"open\" /x.wav type testdevice alias q"), kErrUnknownCommand);
    EXPECT_EQ(code("open \"/no/closing/quote.wav type testdevice"), kErrBadQuote);
    std::string many = "status a";
    for (int i = 0; i < 100; ++i) many += " x";
    EXPECT_EQ(code(many), kErrTooManyWords);
    EXPECT_EQ(code(std::string("status a\0mode", 13)), kErrNotOpen);
    EXPECT_EQ(code("play \"a"), kErrBadQuote);
}

TEST_F(CommandGrammar, RandomCommandsNeverCrashAndLeaveNoReplyOnError) {
    const std::vector<std::string> vocabulary = {
        "open", "close", "play", "pause", "resume", "stop", "seek", "status", "set", "setaudio",
        "all", "a", "b", "cd", "testcd", "testdevice", "type", "alias", "from", "to", "start", "end",
        "time", "format", "frames", "ms", "tmsf", "mode", "length", "position", "track", "volume",
        "left", "right", "speed", "door", "open", "closed", "wait", "notify", "shareable", "0", "-1",
        "99999999999999999999", "\"", "\"\"", "\"a b\"", "/x.wav", "number", "of", "tracks", "\t"};
    std::mt19937 random(12345);
    int succeeded = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string command;
        const int words = static_cast<int>(random() % 8);
        for (int i = 0; i < words; ++i) command += vocabulary[random() % vocabulary.size()] + " ";
        std::string reply = "stale";
        const MciError e = mciSendString(command, &reply);
        if (e != kOk) {
            ASSERT_EQ(reply, "") << command;
            ASSERT_LE(e, kErrLast) << command;
        } else {
            ++succeeded;
        }
    }
    EXPECT_GT(succeeded, 0);  // the mix did reach real commands
}

TEST(ParseInteger, SignsDigitsAndOverflow) {
    int64_t v = 0;
    EXPECT_TRUE(parseInteger("0", &v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(parseInteger("-42", &v));
    EXPECT_EQ(v, -42);
    EXPECT_TRUE(parseInteger("+7", &v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(parseInteger("9223372036854775807", &v));
    EXPECT_EQ(v, INT64_MAX);
    EXPECT_TRUE(parseInteger("-9223372036854775808", &v));
    EXPECT_EQ(v, INT64_MIN);
    for (const char* bad : {"", "-", "+", "9223372036854775808", "-9223372036854775809", "1e3", "12a",
                            " 1", "0x10", "--1"}) {
        EXPECT_FALSE(parseInteger(bad, &v)) << bad;
    }
}

}  // namespace
}  // namespace brisko::mci
