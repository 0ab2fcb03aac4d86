// What a restarted console must restore, read from the journal the killed one left, and a
// comparison with what the restarted one printed (tests/showlog/ShowChild.cpp). Shared by the
// fault test and the kill benchmark.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "showlog/Journal.h"
#include "showlog/LastFile.h"
#include "showlog/ShowLog.h"
#include "tests/support/TempDir.h"

namespace brisko::showlog {

// What a restart must restore: the journal's last state (playing decks where they had got to),
// less a file the crash-loop guard keeps out.
struct Expected {
    ShowState state;
    std::string guarded;
    bool unclean = false;  // and a deck was loaded: the restore is offered
};

inline Expected expectedFrom(const std::string& home, ReplayStats* stats) {
    Expected e;
    e.state = replay(test::readFile(home + "/" + kJournalName), stats);
    const bool died = e.state.started && !e.state.cleanEnd;
    std::string last = e.state.lastFile;
    int64_t session = 0;
    int deck = -1;
    std::string box;
    if (LastFile::read(home + "/" + kLastFileName, &session, &deck, &box) &&
        session == e.state.session && !box.empty() && box != last) {
        last = box;
        if (deck >= 0 && deck < kDecks)
            e.state.decks[deck] =
                DeckRecord{box, e.state.decks[deck].segue, e.state.decks[deck].cutOff};
    }
    // Without a loaded deck there is nothing to offer: the console starts as after a clean end.
    e.unclean = died && std::any_of(e.state.decks.begin(), e.state.decks.end(),
                                    [](const DeckRecord& d) { return !d.file.empty(); });
    std::vector<std::string> history = e.state.crashHistory;
    history.push_back(last);
    const size_t n = history.size();
    if (died && n >= 2 && !last.empty() && history[n - 2] == last) e.guarded = last;
    return e;
}

inline std::string unhex(const std::string& text) {
    if (text == "-") return "";
    std::string out;
    for (size_t k = 0; k + 1 < text.size(); k += 2)
        out.push_back(static_cast<char>(std::stoi(text.substr(k, 2), nullptr, 16)));
    return out;
}

// Compares what the child printed after its restore with what the journal said.
inline int restoreMismatches(const Expected& e, const std::vector<std::string>& out,
                             const std::map<std::string, int64_t>& lengths, std::string* why) {
    int wrong = 0;
    auto differ = [&](bool same, const std::string& what) {
        if (same) return;
        ++wrong;
        *why += what + "; ";
    };
    int decksSeen = 0;
    for (const std::string& line : out) {
        std::istringstream in(line);
        std::string word;
        in >> word;
        if (word == "INDEX") {
            int index = -1;
            in >> index;
            differ(index == (e.unclean ? e.state.indexDeck : 0), "index deck");
        } else if (word == "DECK") {
            int d = 0, segue = 0, marked = 0;
            int64_t position = 0;
            std::string file, cut;
            in >> d >> file >> segue >> cut >> marked >> position;
            ++decksSeen;
            const DeckRecord& want = e.state.decks[d];
            const std::string n = " of deck " + std::to_string(d + 1);
            if (!e.unclean) {
                differ(unhex(file).empty() && segue == 0 && unhex(cut).empty(),
                       "a deck set up with nothing to restore" + n);
                continue;
            }
            differ((segue != 0) == want.segue, "Segue" + n);
            differ(unhex(cut) == want.cutOff, "Cut Off" + n);
            const bool restorable = !want.file.empty() && want.file != e.guarded;
            differ(unhex(file) == (restorable ? want.file : ""), "file" + n);
            const bool wasOn = restorable && want.mode != DeckMode::Idle;
            differ((marked != 0) == wasOn, "mark" + n);
            if (wasOn) {
                const auto length = lengths.find(want.file);
                const int64_t at =
                    std::clamp<int64_t>(e.state.positionAt(d, e.state.lastEventMs), 0,
                                        length == lengths.end() ? 0 : length->second - 1);
                differ(std::llabs(position - at) <= 1000, "position" + n + ": " +
                                                              std::to_string(position) + " for " +
                                                              std::to_string(at));
            }
        }
    }
    differ(decksSeen == kDecks, "decks printed");
    return wrong;
}

}  // namespace brisko::showlog
