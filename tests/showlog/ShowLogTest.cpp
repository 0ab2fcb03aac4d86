// The show log without a window: journal lines and their replay, compaction, the crash-loop
// guard across runs, as-run rows and files, the dead-air judge and the safety settings file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "showlog/AsRun.h"
#include "showlog/DeadAir.h"
#include "showlog/Journal.h"
#include "showlog/LocalTime.h"
#include "showlog/SafetySettings.h"
#include "showlog/ShowLog.h"
#include "tests/support/TempDir.h"

namespace brisko::showlog {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// Field bytes that a line must carry unharmed, and a torn or damaged line that must be skipped.
TEST(Journal, LinesCarryAnyBytesAndDamagedLinesAreSkipped) {
    const char kOdd[] = "a b%c#d\n\r\xff\xfe\x01 end";
    const std::string odd(kOdd, sizeof kOdd - 1);
    std::string journal = encodeLine(1000, ev::kStart, {"7"});
    journal += encodeLine(1001, ev::kLoad, {"2", odd});
    journal += encodeLine(1002, ev::kCutOff, {"2", ""});
    std::string damaged = encodeLine(1003, ev::kLoad, {"3", "/x/other.mp3"});
    damaged[damaged.size() - 4] ^= 1;  // one bit of the checksum
    journal += damaged;
    journal += encodeLine(1004, ev::kSegue, {"2", "1"});
    const std::string torn = encodeLine(1005, ev::kClear, {"2"});
    journal += torn.substr(0, torn.size() / 2);  // a kill in the middle of the write

    ReplayStats stats;
    const ShowState s = replay(journal, &stats);
    EXPECT_EQ(stats.lines, 4);
    EXPECT_EQ(stats.damaged, 2);
    EXPECT_EQ(s.decks[2].file, odd);
    EXPECT_TRUE(s.decks[2].segue);
    EXPECT_EQ(s.decks[3].file, "");
    EXPECT_EQ(s.lastEventMs, 1004);
    EXPECT_TRUE(s.started);
    EXPECT_FALSE(s.cleanEnd);
    EXPECT_EQ(s.lastFile, odd);

    // A line that lost only its line end is as torn as any: not taken.
    const std::string whole = encodeLine(2000, ev::kEnd, {});
    EXPECT_FALSE(replay(journal + "\n" + whole.substr(0, whole.size() - 1)).cleanEnd);
    EXPECT_TRUE(replay(journal + "\n" + whole).cleanEnd);
}

class ShowLogFiles : public ::testing::Test {
protected:
    void TearDown() override {
        log.close(false);
        setClockForTesting({});
    }
    std::string journal() const { return readFile(dir.file(kJournalName)); }
    std::vector<std::string> asRun() const {
        std::vector<std::string> rows;
        for (const auto& e : std::filesystem::directory_iterator(dir.file("asrun")))
            for (const std::string& l : lines(readFile(e.path().string()))) rows.push_back(l);
        return rows;
    }
    TempDir dir{"brisko-showlog"};
    ShowLog log;
};

// A run that ends without a clean end is restored from its last event; a playing deck comes back
// paused where it had got to; a compacted journal rebuilds the same state as the whole one.
TEST_F(ShowLogFiles, UncleanEndIsRecoveredAndCompactionKeepsTheState) {
    std::atomic<int64_t> now{1'700'000'000'000};
    setClockForTesting([&] { return now.load(); });
    ASSERT_TRUE(log.open(dir.path()));
    EXPECT_FALSE(log.recovery().unclean);
    log.setCompactBytesForTesting(2048);
    for (int round = 0; round < 40; ++round) {
        for (int d = 0; d < kDecks; ++d)
            log.deckLoaded(d, "/media/deck" + std::to_string(d) + ".mp3");
        log.segueSet(round % kDecks, round % 2 == 0);
        now += 10;
    }
    log.cutOffSet(4, "5");
    log.indexDeck(6);
    log.deckPlayed(3, 1000, true, "/media/deck3.mp3");
    now += 2000;
    log.deckPosition(3, 3000);
    now += 400;
    log.currentDeck(3);  // the last event: the deck has played on 400 ms since its position
    log.flush();
    const std::string compacted = journal();
    EXPECT_LT(compacted.size(), 2048u + 4096u);  // compacted along the way, not grown without end
    const ShowState direct = replay(compacted);
    log.close(false);  // the program dies: no clean end

    ShowLog next;
    now += 60'000;
    ASSERT_TRUE(next.open(dir.path()));
    const Recovery& r = next.recovery();
    EXPECT_TRUE(r.unclean);
    EXPECT_EQ(r.state.decks[7].file, "/media/deck7.mp3");
    EXPECT_EQ(r.state.decks[4].cutOff, "5");
    EXPECT_EQ(r.state.decks[39 % kDecks].segue, false);
    EXPECT_EQ(r.state.decks[38 % kDecks].segue, true);
    EXPECT_EQ(r.state.indexDeck, 6);
    EXPECT_EQ(r.state.currentDeck, 3);
    EXPECT_EQ(r.state.decks[3].mode, DeckMode::Paused);
    EXPECT_EQ(r.state.decks[3].positionMs, 3400);
    for (int d = 0; d < kDecks; ++d) {
        if (d == 3) continue;  // was playing: now paused where it had got to
        EXPECT_TRUE(r.state.decks[d] == direct.decks[d]) << d;
    }
    EXPECT_EQ(r.lastFile, "/media/deck3.mp3");
    // A kill while the question is asked loses nothing: the new journal still holds the decks,
    // paused where they were, and no time passes for them.
    next.flush();
    const ShowState carried = replay(journal());
    EXPECT_TRUE(carried.decks == r.state.decks);
    next.declineRestore();
    next.close(true);

    ShowLog third;
    ASSERT_TRUE(third.open(dir.path()));
    EXPECT_FALSE(third.recovery().unclean);
    EXPECT_FALSE(third.recovery().hasDecks());
}

// Two unclean ends in a row with the same last file guard it; the black box names a file whose
// load ended the program before the journal's writer could record it; a clean end forgets.
TEST_F(ShowLogFiles, CrashLoopGuardNeedsTwoUncleanEndsOnTheSameFile) {
    auto crashLoading = [&](const std::string& file) {
        ShowLog run;
        EXPECT_TRUE(run.open(dir.path()));
        run.deckLoaded(0, "/media/fine.mp3");
        run.flush();
        // Noted, then the process dies on the load: nothing of it reaches the journal.
        LastFile box;
        box.open(dir.file(kLastFileName));
        box.note(replay(journal()).session, 5, file);
        run.close(false);
    };
    crashLoading("/media/bad.mp3");
    {
        ShowLog second;
        ASSERT_TRUE(second.open(dir.path()));
        EXPECT_TRUE(second.recovery().unclean);
        EXPECT_EQ(second.recovery().lastFile, "/media/bad.mp3");
        // The deck it was loading on is restored with it: that is what the operator had.
        EXPECT_EQ(second.recovery().state.decks[5].file, "/media/bad.mp3");
        EXPECT_EQ(second.recovery().guardedFile, "");
        second.close(false);  // dies again, with nothing loaded this time
    }
    {
        ShowLog third;
        ASSERT_TRUE(third.open(dir.path()));
        EXPECT_EQ(third.recovery().guardedFile, "");  // the last two ends differ
        third.deckLoaded(1, "/media/bad.mp3");
        third.close(false);
    }
    {
        ShowLog fourth;
        ASSERT_TRUE(fourth.open(dir.path()));
        EXPECT_EQ(fourth.recovery().guardedFile, "");  // "", then bad: still not twice
        fourth.deckLoaded(1, "/media/bad.mp3");
        fourth.close(false);
    }
    {
        ShowLog fifth;
        ASSERT_TRUE(fifth.open(dir.path()));
        EXPECT_EQ(fifth.recovery().guardedFile, "/media/bad.mp3");
        fifth.flush();
        EXPECT_NE(readFile(dir.file(kIncidentsName)).find("Crash-loop guard: \"/media/bad.mp3\""),
                  std::string::npos);
        fifth.close(true);
    }
    ShowLog sixth;
    ASSERT_TRUE(sixth.open(dir.path()));
    EXPECT_FALSE(sixth.recovery().unclean);
    EXPECT_EQ(sixth.recovery().guardedFile, "");
    sixth.close(true);
}

// Rows: quoting, UTF-8, played time from the media position, the ends' names, a sound the
// program ended under, and one file per local day with one header.
TEST_F(ShowLogFiles, AsRunRowsAreQuotedTimedAndFiledByDay) {
    std::atomic<int64_t> now{1'700'000'000'000};
    setClockForTesting([&] { return now.load(); });
    ASSERT_TRUE(log.open(dir.path()));
    const std::string odd = "/media/a \"quoted\", name\xff.mp3";
    log.deckPlayed(2, 0, true, odd);
    now += 3000;
    log.deckPaused(2, 2950);  // the window saw the pause 50 ms late
    now += 10'000;
    log.deckPlayed(2, 2950, false, odd);
    now += 1100;
    log.deckEnded(2, 4000);
    log.soundStarted("clip5", "Clip 2:6", "/media/clip.wav");
    now += 500;
    log.soundEnded("clip5", EndHow::Fade);
    log.soundStarted("cd", "CD 4", "");
    now += 86'400'000;  // a day later, still playing; then the program dies under it
    log.flush();
    log.close(false);
    ShowLog next;
    ASSERT_TRUE(next.open(dir.path()));
    next.close(true);

    const std::vector<std::string> rows = asRun();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "start,end,source,file,artist,title,played_ms,ended\r");
    EXPECT_EQ(rows[1].substr(0, 24), isoLocal(1'700'000'000'000).substr(0, 24));
    EXPECT_NE(
        rows[1].find(",Deck 3,\"/media/a \"\"quoted\"\", name\xef\xbf\xbd.mp3\",,,4000,end\r"),
        std::string::npos);
    // Ended 4000 ms of media after its start, plus the pause: 1050 ms after the resume.
    EXPECT_NE(rows[1].find("," + isoLocal(1'700'000'000'000 + 13'000 + 1050) + ","),
              std::string::npos);
    EXPECT_NE(rows[2].find(",Clip 2:6,/media/clip.wav,,,500,fade\r"), std::string::npos);
    EXPECT_NE(rows[3].find(",CD 4,,,,"), std::string::npos);
    EXPECT_NE(rows[3].find(",restore\r"), std::string::npos);
    // Nothing was on air in the day file of the restart: the CD row is filed under its start.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("asrun")),
                            std::filesystem::directory_iterator()),
              1);
}

// A writer held up (a tag read that stalls on a slow share) never makes a caller wait: the queue
// fills, further events are dropped and counted, and the loss is an incident once it writes again.
TEST_F(ShowLogFiles, AStalledWriterDropsAndCountsInsteadOfBlocking) {
    std::mutex m;
    std::condition_variable cv;
    bool release = false, stalled = false;
    ASSERT_TRUE(log.open(dir.path(), [&](const std::string&, std::string*, std::string*) {
        std::unique_lock l(m);
        stalled = true;
        cv.notify_all();
        cv.wait(l, [&] { return release; });
    }));
    log.soundStarted("clip0", "Clip 1:1", "/media/slow.mp3");
    log.soundEnded("clip0", EndHow::End);
    {
        std::unique_lock l(m);
        cv.wait(l, [&] { return stalled; });
    }
    const auto t0 = std::chrono::steady_clock::now();
    for (size_t k = 0; k < ShowLog::kQueueCapacity + 500; ++k) log.segueSet(static_cast<int>(k % kDecks), true);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    EXPECT_GE(log.droppedEvents(), 500u);
    {
        std::lock_guard l(m);
        release = true;
    }
    cv.notify_all();
    log.flush();
    log.segueSet(0, false);
    log.flush();
    const std::string incidents = readFile(dir.file(kIncidentsName));
    EXPECT_NE(incidents.find("The show journal fell behind: " + std::to_string(log.droppedEvents()) +
                             " events were not recorded"),
              std::string::npos)
        << incidents;
}

TEST(DeadAir, SilenceWhilePlayingAlarmsAfterTheHoldAndQuietMusicNever) {
    const int rate = 48000;
    const int period = 1024;
    auto run = [&](DeadAirJudge& judge, double seconds, float left, float right, bool playing) {
        int raised = 0, cleared = 0;
        for (double t = 0; t < seconds; t += double(period) / rate) {
            const auto c = judge.feed(left, right, period, rate, playing);
            raised += c == DeadAirJudge::Change::Raised;
            cleared += c == DeadAirJudge::Change::Cleared;
        }
        return std::make_pair(raised, cleared);
    };
    const float minus45 = 0.00562f, minus60 = 0.001f;
    DeadAirJudge judge;
    EXPECT_EQ(run(judge, 60, minus45, minus45, true), std::make_pair(0, 0));  // a quiet intro
    EXPECT_EQ(run(judge, 60, 0.5f, 0.0f, true), std::make_pair(0, 0));        // one silent channel
    EXPECT_EQ(run(judge, 3, 0, 0, true), std::make_pair(0, 0));               // a pause in a track
    EXPECT_EQ(run(judge, 1, 0.5f, 0.5f, true), std::make_pair(0, 0));
    EXPECT_EQ(run(judge, 120, 0, 0, false), std::make_pair(0, 0));  // talk: nothing plays
    EXPECT_EQ(run(judge, 9.9, minus60, minus60, true), std::make_pair(0, 0));
    EXPECT_EQ(run(judge, 0.2, minus60, minus60, true), std::make_pair(1, 0));
    EXPECT_TRUE(judge.alarmed());
    EXPECT_EQ(run(judge, 5, 0, 0, true), std::make_pair(0, 0));  // told once
    EXPECT_EQ(run(judge, 0.1, 0.5f, 0.5f, true), std::make_pair(0, 1));
    EXPECT_FALSE(judge.alarmed());

    // The idle alarm, off by default, counts silence whether or not something plays.
    DeadAirSettings idle;
    idle.idleMinutes = 2;
    judge.configure(idle);
    EXPECT_EQ(run(judge, 119, 0, 0, false), std::make_pair(0, 0));
    EXPECT_EQ(run(judge, 2, 0, 0, false), std::make_pair(1, 0));
    EXPECT_EQ(run(judge, 1, 0.2f, 0.2f, false), std::make_pair(0, 1));
}

TEST(SafetySettings, RoundTripAndBadValuesKeepTheDefaults) {
    TempDir dir("brisko-safety");
    const std::string path = dir.file(kSafetyFileName);
    EXPECT_EQ(readSafetySettings(path).holdSeconds, 10.0);  // no file
    DeadAirSettings s;
    s.thresholdDbfs = -42;
    s.holdSeconds = 7.5;
    s.idleMinutes = 15;
    s.startIndexDeck = true;
    s.outroWarningSeconds = 12;
    ASSERT_TRUE(writeSafetySettings(path, s, nullptr));
    const DeadAirSettings back = readSafetySettings(path);
    EXPECT_EQ(back.thresholdDbfs, -42);
    EXPECT_EQ(back.holdSeconds, 7.5);
    EXPECT_EQ(back.idleMinutes, 15);
    EXPECT_TRUE(back.startIndexDeck);
    EXPECT_EQ(back.outroWarningSeconds, 12);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    writeFile(path, "[DeadAir]\r\nThresholdDbfs=0\r\nHoldSeconds=abc\r\nIdleMinutes=-3\r\n"
                    "OutroWarningSeconds=601\r\n");
    const DeadAirSettings bad = readSafetySettings(path);
    EXPECT_EQ(bad.thresholdDbfs, -50);
    EXPECT_EQ(bad.holdSeconds, 10);
    EXPECT_EQ(bad.idleMinutes, 0);
    EXPECT_EQ(bad.outroWarningSeconds, 0);
}

}  // namespace
}  // namespace brisko::showlog
