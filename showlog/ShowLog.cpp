// The show log's window-thread side (events, sounds on air) and its writer thread.
#include "showlog/ShowLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>

#include "showlog/LocalTime.h"
#include "showlog/SafetySettings.h"

namespace brisko::showlog {

namespace {

bool readWhole(const std::string& path, std::string* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    *bytes = all.str();
    return true;
}

int openAppend(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}

constexpr size_t kCrashHistory = 4;

}  // namespace

bool Recovery::hasDecks() const {
    return std::any_of(state.decks.begin(), state.decks.end(),
                       [](const DeckRecord& d) { return !d.file.empty(); });
}

ShowLog& showLog() {
    static ShowLog log;
    return log;
}

ShowLog::~ShowLog() {
    close(false);
}

bool ShowLog::open(const std::string& folder, TagReader tags) {
    close(false);
    folder_ = folder;
    tags_ = std::move(tags);
    recovery_ = Recovery();
    const std::string path = folder + "/" + kJournalName;

    std::string bytes;
    recovery_.found = readWhole(path, &bytes);
    const ShowState old = replay(bytes, &recovery_.stats);
    recovery_.unclean = old.started && !old.cleanEnd;
    recovery_.lastFile = old.lastFile;
    int64_t noted = 0;
    int boxDeck = -1;
    std::string box;
    bool boxNewer = false;
    if (recovery_.unclean && LastFile::read(folder + "/" + kLastFileName, &noted, &boxDeck, &box) &&
        noted == old.session && !box.empty()) {
        // The black box is noted before each load or start: when it names another file than the
        // journal's last one, the program died on that load before the journal heard of it.
        boxNewer = box != old.lastFile;
        recovery_.lastFile = box;
    }

    // The crash-loop guard: the files of consecutive unclean ends; a clean end forgets them.
    std::vector<std::string> history;
    if (recovery_.unclean) {
        history = old.crashHistory;
        history.push_back(recovery_.lastFile);
        if (history.size() > kCrashHistory)
            history.erase(history.begin(), history.end() - kCrashHistory);
        const size_t n = history.size();
        if (n >= 2 && !history[n - 1].empty() && history[n - 1] == history[n - 2])
            recovery_.guardedFile = history[n - 1];
    }

    // The decks as they stood at the last event; one that played is taken where it had got to.
    recovery_.state = old;
    if (boxNewer && boxDeck >= 0 && boxDeck < kDecks) {
        DeckRecord& deck = recovery_.state.decks[boxDeck];
        deck = DeckRecord{box, deck.segue, deck.cutOff, DeckMode::Idle, 0, old.lastEventMs};
    }
    for (int d = 0; d < kDecks; ++d) {
        DeckRecord& deck = recovery_.state.decks[d];
        if (deck.mode == DeckMode::Playing) {
            deck.positionMs = old.positionAt(d, old.lastEventMs);
            deck.positionAtMs = old.lastEventMs;
            deck.mode = DeckMode::Paused;
        }
    }

    // The new journal keeps the previous run's decks until the question is answered, so a kill
    // meanwhile loses nothing.
    const int64_t now = nowMs();
    ShowState carried;
    if (recovery_.unclean) {
        carried.decks = recovery_.state.decks;
        carried.currentDeck = old.currentDeck;
        carried.indexDeck = old.indexDeck;
        carried.clipUser = old.clipUser;
    }
    carried.crashHistory = history;
    carried.started = true;
    session_ = std::max(now, old.session + 1);
    carried.session = session_;
    carried.lastEventMs = now;
    const std::string content = snapshotLines(carried);
    std::string error;
    if (!writeWholeFile(path, content, &error)) return false;
    journalFd_ = openAppend(path);
    if (journalFd_ < 0) return false;
    mirror_ = replay(content);
    lastFile_.open(folder + "/" + kLastFileName);
    deckModes_.fill(DeckMode::Idle);
    sounds_.clear();
    nextSoundId_ = 1;
    {
        std::lock_guard l(mutex_);
        stopping_ = false;
        queue_.clear();
        pushed_ = done_ = 0;
    }
    dropped_ = 0;
    active_ = true;
    writer_ = std::thread([this] { writerLoop(); });

    if (recovery_.unclean) {
        incident("Brisko did not end normally; the journal's last event was at " +
                 localClock(old.lastEventMs));
        // What was on air when the program ended goes on record, ended by the restart.
        for (const auto& [id, sound] : old.sounds) {
            Item item;
            item.kind = Item::Row;
            item.row = AsRunRow{sound.startMs,
                                std::max(sound.startMs, old.lastEventMs),
                                sound.source,
                                sound.path,
                                "",
                                "",
                                std::max<int64_t>(0, old.lastEventMs - sound.startMs),
                                EndHow::Restore};
            push(std::move(item));
        }
    }
    if (!recovery_.guardedFile.empty())
        incident("Crash-loop guard: \"" + recovery_.guardedFile +
                 "\" was the last file loaded or started before each of the last two unclean "
                 "ends; it is not loaded again");
    return true;
}

void ShowLog::declineRestore() {
    if (!active_) return;
    for (int d = 0; d < kDecks; ++d) {
        const DeckRecord& deck = recovery_.state.decks[d];
        const std::string n = std::to_string(d);
        if (!deck.file.empty()) journal(ev::kClear, {n});
        if (deck.segue) journal(ev::kSegue, {n, "0"});
        if (!deck.cutOff.empty()) journal(ev::kCutOff, {n, ""});
    }
    journal(ev::kCurrent, {"0"});
    journal(ev::kIndex, {"0"});
}

void ShowLog::close(bool clean) {
    if (!active_) return;
    if (clean) {
        // What still sounds stops with the program. Without a clean end the program is taken
        // to have died under it: the next start records those sounds as ended by the restart.
        std::vector<std::string> keys;
        for (const auto& [key, sound] : sounds_) keys.push_back(key);
        for (const std::string& key : keys) endSound(key, EndHow::Stop, -1);
        journal(ev::kEnd, {});
    }
    {
        std::lock_guard l(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable()) writer_.join();
    if (journalFd_ >= 0) ::close(journalFd_);
    journalFd_ = -1;
    lastFile_.close();
    active_ = false;
}

// ---- events ---------------------------------------------------------------------------------

void ShowLog::journal(char code, const std::vector<std::string>& fields) {
    Item item;
    item.kind = Item::Journal;
    item.text = encodeLine(nowMs(), code, fields);
    push(std::move(item));
}

void ShowLog::push(Item item) {
    {
        std::lock_guard l(mutex_);
        if (queue_.size() >= kQueueCapacity) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        queue_.push_back(std::move(item));
        ++pushed_;
    }
    wake_.notify_one();
}

void ShowLog::deckLoaded(int deck, const std::string& path) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    // Noted before the load itself, which may be what ends the program.
    lastFile_.note(session_, deck, path);
    if (sounds_.count(deckKey(deck))) endSound(deckKey(deck), EndHow::Stop, -1);
    deckModes_[deck] = DeckMode::Idle;
    journal(ev::kLoad, {std::to_string(deck), path});
}

void ShowLog::deckCleared(int deck) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    journal(ev::kClear, {std::to_string(deck)});
}

void ShowLog::deckPlayed(int deck, int64_t positionMs, bool fresh, const std::string& path) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    lastFile_.note(session_, deck, path);
    deckModes_[deck] = DeckMode::Playing;
    journal(ev::kPlay, {std::to_string(deck), std::to_string(positionMs), fresh ? "1" : "0"});
    const auto it = sounds_.find(deckKey(deck));
    if (fresh || it == sounds_.end()) {
        startSound(deckKey(deck), "Deck " + std::to_string(deck + 1), path, positionMs);
    } else if (it->second.paused) {
        it->second.paused = false;
        it->second.segmentWallMs = nowMs();
        it->second.segmentPositionMs = positionMs;
    }
}

void ShowLog::deckPaused(int deck, int64_t positionMs) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    deckModes_[deck] = DeckMode::Paused;
    journal(ev::kPause, {std::to_string(deck), std::to_string(positionMs)});
    const auto it = sounds_.find(deckKey(deck));
    if (it != sounds_.end() && !it->second.paused) {
        closeSegment(it->second, nowMs(), positionMs);
        it->second.paused = true;
    }
}

void ShowLog::deckStopped(int deck, int64_t positionMs, EndHow how) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    deckModes_[deck] = DeckMode::Idle;
    journal(ev::kStop, {std::to_string(deck), std::to_string(positionMs)});
    endSound(deckKey(deck), how, positionMs);
}

void ShowLog::deckEnded(int deck, int64_t positionMs) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    deckModes_[deck] = DeckMode::Idle;
    journal(ev::kEndOfClip, {std::to_string(deck), std::to_string(positionMs)});
    endSound(deckKey(deck), EndHow::End, positionMs);
}

void ShowLog::deckPosition(int deck, int64_t positionMs) {
    if (!active_ || deck < 0 || deck >= kDecks || deckModes_[deck] != DeckMode::Playing) return;
    journal(ev::kPosition, {std::to_string(deck), std::to_string(positionMs)});
}

void ShowLog::segueSet(int deck, bool on) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    journal(ev::kSegue, {std::to_string(deck), on ? "1" : "0"});
}

void ShowLog::cutOffSet(int deck, const std::string& text) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    journal(ev::kCutOff, {std::to_string(deck), text});
}

void ShowLog::currentDeck(int deck) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    journal(ev::kCurrent, {std::to_string(deck)});
}

void ShowLog::indexDeck(int deck) {
    if (!active_ || deck < 0 || deck >= kDecks) return;
    journal(ev::kIndex, {std::to_string(deck)});
}

bool ShowLog::deckPlaying(int deck) const {
    return active_ && deck >= 0 && deck < kDecks && deckModes_[deck] == DeckMode::Playing;
}

bool ShowLog::heartbeatDue() {
    if (!active_ || !anyOnAir()) return false;
    const int64_t now = nowMs();
    if (now - lastHeartbeatMs_ < kHeartbeatMs) return false;
    lastHeartbeatMs_ = now;
    journal(ev::kAlive, {});
    return true;
}

void ShowLog::clipUser(const std::string& user) {
    if (!active_) return;
    journal(ev::kUser, {user});
}

void ShowLog::soundStarted(const std::string& key, const std::string& source,
                           const std::string& path) {
    if (!active_) return;
    if (!path.empty()) lastFile_.note(session_, -1, path);
    startSound(key, source, path, -1);
}

void ShowLog::soundPaused(const std::string& key) {
    const auto it = sounds_.find(key);
    if (!active_ || it == sounds_.end() || it->second.paused) return;
    closeSegment(it->second, nowMs(), -1);
    it->second.paused = true;
}

void ShowLog::soundResumed(const std::string& key) {
    const auto it = sounds_.find(key);
    if (!active_ || it == sounds_.end() || !it->second.paused) return;
    it->second.paused = false;
    it->second.segmentWallMs = nowMs();
    it->second.segmentPositionMs = -1;
}

void ShowLog::soundEnded(const std::string& key, EndHow how) {
    if (!active_) return;
    endSound(key, how, -1);
}

bool ShowLog::soundOn(const std::string& key) const {
    return sounds_.count(key) != 0;
}

void ShowLog::incident(const std::string& text) {
    if (!active_) return;
    Item item;
    item.kind = Item::Incident;
    item.text = isoLocal(nowMs()) + " " + text + "\r\n";
    push(std::move(item));
}

bool ShowLog::anyOnAir() const {
    return std::any_of(sounds_.begin(), sounds_.end(),
                       [](const auto& s) { return !s.second.paused; });
}

void ShowLog::startSound(const std::string& key, const std::string& source, const std::string& path,
                         int64_t positionMs) {
    if (sounds_.count(key)) endSound(key, EndHow::Stop, -1);
    Sound s;
    s.id = nextSoundId_++;
    s.startMs = nowMs();
    s.source = source;
    s.path = path;
    s.segmentWallMs = s.startMs;
    s.segmentPositionMs = positionMs;
    Item item;
    item.kind = Item::Journal;
    item.text = encodeLine(s.startMs, ev::kBegin, {std::to_string(s.id), source, path});
    push(std::move(item));
    sounds_[key] = std::move(s);
}

void ShowLog::closeSegment(Sound& s, int64_t now, int64_t positionMs) {
    const int64_t elapsed = std::max<int64_t>(0, now - s.segmentWallMs);
    int64_t played = elapsed;
    // The media time played is exact; the window only sees an end on its next tick. It is taken
    // when it is plausible (the speed may have been changed, or the position not be known).
    if (positionMs >= 0 && s.segmentPositionMs >= 0) {
        const int64_t media = positionMs - s.segmentPositionMs;
        if (media >= 0 && media <= elapsed + 250) played = media;
    }
    s.playedMs += played;
    s.segmentWallMs += played;  // now the end of what sounded
}

void ShowLog::endSound(const std::string& key, EndHow how, int64_t positionMs) {
    const auto it = sounds_.find(key);
    if (it == sounds_.end()) return;
    Sound& s = it->second;
    if (!s.paused) closeSegment(s, nowMs(), positionMs);
    Item item;
    item.kind = Item::Row;
    item.id = s.id;
    item.row = AsRunRow{
        s.startMs, std::max(s.startMs, s.segmentWallMs), s.source, s.path, "", "", s.playedMs, how};
    push(std::move(item));
    sounds_.erase(it);
}

// ---- the writer thread ----------------------------------------------------------------------

void ShowLog::flush() {
    if (!active_) return;
    std::unique_lock l(mutex_);
    Item item;
    item.kind = Item::Flush;
    queue_.push_back(std::move(item));
    const uint64_t target = ++pushed_;
    wake_.notify_one();
    flushed_.wait(l, [&] { return done_ >= target; });
}

void ShowLog::writerLoop() {
    const std::string journalPath = folder_ + "/" + kJournalName;
    const std::string incidentsPath = folder_ + "/" + kIncidentsName;
    struct stat info {};
    size_t journalBytes = ::fstat(journalFd_, &info) == 0 ? static_cast<size_t>(info.st_size) : 0;
    uint64_t droppedTold = 0;

    auto writeJournal = [&](const std::string& out) {
        if (out.empty()) return;
        if (writeAll(journalFd_, out)) journalBytes += out.size();
        ::fdatasync(journalFd_);
        if (journalBytes <= compactBytes_) return;
        // Compaction: the state as it stands, rewritten whole; the old journal stays until the
        // new one has replaced it.
        const std::string snapshot = snapshotLines(mirror_);
        std::string error;
        if (writeWholeFile(journalPath, snapshot, &error)) {
            const int fd = openAppend(journalPath);
            if (fd >= 0) {
                ::close(journalFd_);
                journalFd_ = fd;
                journalBytes = snapshot.size();
            }
        }
    };
    auto addLine = [&](std::string* out, const std::string& text) {
        Line line;
        if (!text.empty() && decodeLine(std::string_view(text).substr(0, text.size() - 1), &line))
            mirror_.apply(line);
        *out += text;
    };

    std::unique_lock l(mutex_);
    while (true) {
        wake_.wait_for(l, std::chrono::milliseconds(50),
                       [&] { return !queue_.empty() || stopping_; });
        if (queue_.empty()) {
            if (stopping_) break;
            continue;
        }
        std::deque<Item> batch;
        batch.swap(queue_);
        l.unlock();

        // The journal first: it is what must be durable within 100 ms.
        std::string out;
        for (const Item& item : batch)
            if (item.kind == Item::Journal) addLine(&out, item.text);
        writeJournal(out);

        std::string incidents;
        const uint64_t dropped = dropped_.load();
        if (dropped != droppedTold) {
            const int64_t wall = std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
            incidents += isoLocal(wall) +
                         " The show journal fell behind: " + std::to_string(dropped - droppedTold) +
                         " events were not recorded\r\n";
            droppedTold = dropped;
        }
        std::string finished;
        for (Item& item : batch) {
            if (item.kind == Item::Incident) {
                incidents += item.text;
            } else if (item.kind == Item::Row) {
                if (tags_ && !item.row.path.empty())
                    tags_(item.row.path, &item.row.artist, &item.row.title);
                std::string error;
                // Stamped with the row's own end: the writer keeps to the callers' clock.
                if (!appendAsRun(folder_, item.row, &error))
                    incidents +=
                        isoLocal(item.row.endMs) + " As-run log not written: " + error + "\r\n";
                if (item.id > 0)
                    addLine(&finished,
                            encodeLine(item.row.endMs, ev::kFinish, {std::to_string(item.id)}));
            }
        }
        writeJournal(finished);
        if (!incidents.empty()) {
            const int fd = openAppend(incidentsPath);
            if (fd >= 0) {
                writeAll(fd, incidents);
                ::fdatasync(fd);
                ::close(fd);
            }
        }

        l.lock();
        done_ += batch.size();
        flushed_.notify_all();
    }
}

}  // namespace brisko::showlog
