// The show log: what the console, the Clip Player and the CD player tell it goes to the journal
// (brisko.journal: enough to rebuild the console after an unclean end), the as-run log and the
// incident log (incidents.log). Callers are the window thread; each call formats one event and
// queues it. A writer thread writes and syncs the queue (within 100 ms), so no caller ever waits
// for the disk; a full queue drops the event and counts it, never blocks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "showlog/AsRun.h"
#include "showlog/Journal.h"
#include "showlog/LastFile.h"

namespace brisko::showlog {

inline constexpr const char* kJournalName = "brisko.journal";
inline constexpr const char* kLastFileName = "brisko.lastfile";
inline constexpr const char* kIncidentsName = "incidents.log";

// What the journal of the previous run says.
struct Recovery {
    bool found = false;       // there was a journal
    bool unclean = false;     // it shows a start and no clean end
    ShowState state;          // as it stood at its last event; playing decks shown paused there
    std::string lastFile;     // the file last loaded or started before that end
    std::string guardedFile;  // crash-loop guard: not to be loaded again ("" = none)
    ReplayStats stats;
    // Something to restore: a deck was loaded.
    bool hasDecks() const;
};

// Reads a file's artist and title tags (empty where it has none). Runs on the writer thread.
using TagReader =
    std::function<void(const std::string& path, std::string* artist, std::string* title)>;

class ShowLog {
public:
    static constexpr size_t kQueueCapacity = 4096;
    static constexpr size_t kCompactBytes = 256 * 1024;
    static constexpr int64_t kHeartbeatMs = 500;

    ShowLog() = default;
    ~ShowLog();
    ShowLog(const ShowLog&) = delete;
    ShowLog& operator=(const ShowLog&) = delete;

    // Reads the journal in FOLDER, starts a new one (which keeps the previous run's decks until
    // the restore question is answered, and the crash-loop guard's history), records the
    // as-run rows of sounds the previous run ended under, and starts the writer. False when
    // the journal cannot be written; the show log then stays inactive and every call is a no-op.
    bool open(const std::string& folder, TagReader tags = {});
    bool active() const { return active_; }
    const Recovery& recovery() const { return recovery_; }
    // The operator declined the restore: the previous run's decks are forgotten.
    void declineRestore();
    // Ends the journal: a clean end when CLEAN (sounds still on air are ended "stop"); without it,
    // as if the program had died. Everything queued is written first.
    void close(bool clean);

    // ---- The console.
    void deckLoaded(int deck, const std::string& path);
    void deckCleared(int deck);
    // FRESH: a start from the top ("Play n"), else a resume.
    void deckPlayed(int deck, int64_t positionMs, bool fresh, const std::string& path);
    void deckPaused(int deck, int64_t positionMs);
    // The deck stopped: by the operator, a fade, a segue, a cut off.
    void deckStopped(int deck, int64_t positionMs, EndHow how);
    // The deck played to its end.
    void deckEnded(int deck, int64_t positionMs);
    void deckPosition(int deck, int64_t positionMs);
    void segueSet(int deck, bool on);
    void cutOffSet(int deck, const std::string& text);
    void currentDeck(int deck);
    void indexDeck(int deck);
    bool deckPlaying(int deck) const;
    // True every half second while something is on air: the console then tells the positions.
    bool heartbeatDue();

    // ---- Other sources on air (clips, the play-order list, the CD), by a key of the caller's.
    void clipUser(const std::string& user);
    void soundStarted(const std::string& key, const std::string& source, const std::string& path);
    void soundPaused(const std::string& key);
    void soundResumed(const std::string& key);
    void soundEnded(const std::string& key, EndHow how);
    bool soundOn(const std::string& key) const;

    // A line for incidents.log.
    void incident(const std::string& text);
    // Something is on air (a deck or a clip playing, not paused).
    bool anyOnAir() const;
    uint64_t droppedEvents() const { return dropped_.load(); }

    // Tests and benchmarks: waits until everything queued so far is written and synced.
    void flush();
    void setCompactBytesForTesting(size_t bytes) { compactBytes_ = bytes; }
    const std::string& folder() const { return folder_; }

private:
    struct Item {
        enum Kind { Journal, Row, Incident, Flush } kind = Journal;
        std::string text;
        AsRunRow row;
        int64_t id = 0;
    };
    struct Sound {
        int64_t id = 0;
        int64_t startMs = 0;
        std::string source;
        std::string path;
        int64_t playedMs = 0;
        int64_t segmentWallMs = 0;
        int64_t segmentPositionMs = -1;  // -1: no position known (clips, the CD)
        bool paused = false;
    };

    void journal(char code, const std::vector<std::string>& fields);
    void push(Item item);
    void writerLoop();
    void startSound(const std::string& key, const std::string& source, const std::string& path,
                    int64_t positionMs);
    // POSITION (or -1) lets the played time be the media time played, not the window's delay.
    void endSound(const std::string& key, EndHow how, int64_t positionMs);
    void closeSegment(Sound& s, int64_t now, int64_t positionMs);
    static std::string deckKey(int deck) { return "deck" + std::to_string(deck); }

    bool active_ = false;
    std::string folder_;
    TagReader tags_;
    Recovery recovery_;
    int64_t session_ = 0;
    LastFile lastFile_;
    std::array<DeckMode, kDecks> deckModes_{};
    std::map<std::string, Sound> sounds_;
    int64_t nextSoundId_ = 1;
    int64_t lastHeartbeatMs_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable flushed_;
    std::deque<Item> queue_;
    uint64_t pushed_ = 0;
    uint64_t done_ = 0;
    bool stopping_ = false;
    std::atomic<uint64_t> dropped_{0};
    std::atomic<size_t> compactBytes_{kCompactBytes};
    std::thread writer_;
    int journalFd_ = -1;
    ShowState mirror_;  // the writer's copy of the journal's state, for compaction
};

// The program's one show log.
ShowLog& showLog();

}  // namespace brisko::showlog
