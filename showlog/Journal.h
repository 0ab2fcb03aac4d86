// The show journal's lines and the state they rebuild. Each line is one event with its wall time
// and a checksum, so a line torn by a kill in the middle of a write is recognised and skipped.
// The same replay runs at start-up (what to restore) and on the writer thread (what a compacted
// journal must hold).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace brisko::showlog {

inline constexpr int kDecks = 12;

// Event codes, one letter each.
namespace ev {
inline constexpr char kCrash = 'X';      // an earlier unclean end: the file last loaded or started
inline constexpr char kStart = 'S';      // the program started: session id
inline constexpr char kEnd = 'E';        // the program ended cleanly
inline constexpr char kLoad = 'L';       // deck, file path (bytes)
inline constexpr char kClear = 'C';      // deck
inline constexpr char kPlay = 'P';       // deck, position ms, 1 for a fresh start / 0 resume
inline constexpr char kPause = 'U';      // deck, position ms
inline constexpr char kStop = 'T';       // deck, position ms
inline constexpr char kEndOfClip = 'N';  // deck, position ms
inline constexpr char kPosition = 'Q';   // deck, position ms (a playing deck, every half second)
inline constexpr char kSegue = 'G';      // deck, 0 or 1
inline constexpr char kCutOff = 'K';     // deck, the Cut Off box's text
inline constexpr char kCurrent = 'D';    // deck
inline constexpr char kIndex = 'I';      // deck
inline constexpr char kUser = 'R';       // the Clip Player user in use
inline constexpr char kLastFile = 'W';   // the file last loaded or started (kept by compaction)
inline constexpr char kBegin = 'B';      // a sound went on air: id, source, file path
inline constexpr char kFinish = 'F';     // that sound's as-run row is written: id
inline constexpr char kAlive = 'Z';      // nothing but the time: the program was running
}  // namespace ev

// One decoded line.
struct Line {
    int64_t ms = 0;
    char code = 0;
    std::vector<std::string> fields;  // decoded: numbers as text, strings as their bytes
};

enum class DeckMode { Idle, Playing, Paused };

struct DeckRecord {
    std::string file;  // "" = empty deck
    bool segue = false;
    std::string cutOff;  // the Cut Off box's text
    DeckMode mode = DeckMode::Idle;
    int64_t positionMs = 0;  // at positionAtMs
    int64_t positionAtMs = 0;
    bool operator==(const DeckRecord&) const = default;
};

// A sound on air whose as-run row has not been written yet.
struct OpenSound {
    int64_t startMs = 0;
    std::string source;
    std::string path;
    bool operator==(const OpenSound&) const = default;
};

struct ShowState {
    std::array<DeckRecord, kDecks> decks{};
    int currentDeck = 0;
    int indexDeck = 0;
    std::string clipUser;
    std::vector<std::string> crashHistory;  // the files of consecutive earlier unclean ends
    int64_t session = 0;
    bool started = false;
    bool cleanEnd = false;
    std::string lastFile;  // last loaded or started in this session
    int64_t lastEventMs = 0;
    std::map<int64_t, OpenSound> sounds;

    void apply(const Line& line);
    // Where a deck is now, by its last known position and, while it plays, the time since.
    int64_t positionAt(int deck, int64_t ms) const;
};

// One journal line (with its line end) for an event.
std::string encodeLine(int64_t ms, char code, const std::vector<std::string>& fields);
// Decodes one line without its line end; false for a torn or damaged line.
bool decodeLine(std::string_view text, Line* out);

struct ReplayStats {
    int lines = 0;    // lines applied
    int damaged = 0;  // lines skipped (torn or damaged)
};

// Replays a whole journal. Never fails: what cannot be read is counted and skipped.
ShowState replay(std::string_view bytes, ReplayStats* stats = nullptr);

// The lines of a journal that rebuilds STATE as it stands: what compaction writes.
std::string snapshotLines(const ShowState& state);

}  // namespace brisko::showlog
