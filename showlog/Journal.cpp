// Journal lines: "MS CODE FIELD... #CHECKSUM". Fields are escaped so that a line holds no blank,
// no line end and no '#': any byte outside 0x21..0x7e, '%' and '#' is written %XX, and an empty
// field is a lone '%'. The checksum (FNV-1a, 32 bits) covers everything before " #".
#include "showlog/Journal.h"

#include <algorithm>
#include <charconv>

namespace brisko::showlog {

namespace {

uint32_t fnv1a(std::string_view text) {
    uint32_t h = 2166136261u;
    for (const unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

const char kHex[] = "0123456789abcdef";

void appendEscaped(std::string* out, const std::string& field) {
    if (field.empty()) {
        out->push_back('%');
        return;
    }
    for (const unsigned char c : field) {
        if (c > 0x20 && c < 0x7f && c != '%' && c != '#') {
            out->push_back(static_cast<char>(c));
        } else {
            out->push_back('%');
            out->push_back(kHex[c >> 4]);
            out->push_back(kHex[c & 15]);
        }
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool unescape(std::string_view text, std::string* out) {
    out->clear();
    if (text == "%") return true;
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] != '%') {
            out->push_back(text[k]);
            continue;
        }
        if (k + 2 >= text.size()) return false;
        const int hi = hexValue(text[k + 1]);
        const int lo = hexValue(text[k + 2]);
        if (hi < 0 || lo < 0) return false;
        out->push_back(static_cast<char>(hi * 16 + lo));
        k += 2;
    }
    return true;
}

bool toInt(const std::string& text, int64_t* value) {
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && p == end;
}

bool deckOf(const Line& line, size_t field, int* deck) {
    int64_t d = 0;
    if (line.fields.size() <= field || !toInt(line.fields[field], &d) || d < 0 || d >= kDecks)
        return false;
    *deck = static_cast<int>(d);
    return true;
}

int64_t numberOr(const Line& line, size_t field, int64_t fallback) {
    int64_t v = 0;
    return line.fields.size() > field && toInt(line.fields[field], &v) ? v : fallback;
}

}  // namespace

std::string encodeLine(int64_t ms, char code, const std::vector<std::string>& fields) {
    std::string line = std::to_string(ms);
    line.push_back(' ');
    line.push_back(code);
    for (const std::string& f : fields) {
        line.push_back(' ');
        appendEscaped(&line, f);
    }
    const uint32_t sum = fnv1a(line);
    line += " #";
    for (int shift = 28; shift >= 0; shift -= 4) line.push_back(kHex[(sum >> shift) & 15]);
    line.push_back('\n');
    return line;
}

bool decodeLine(std::string_view text, Line* out) {
    const size_t mark = text.rfind(" #");
    if (mark == std::string_view::npos || text.size() - mark != 10) return false;
    uint32_t sum = 0;
    for (size_t k = mark + 2; k < text.size(); ++k) {
        const int v = hexValue(text[k]);
        if (v < 0) return false;
        sum = sum * 16 + static_cast<uint32_t>(v);
    }
    const std::string_view body = text.substr(0, mark);
    if (fnv1a(body) != sum) return false;

    std::vector<std::string_view> words;
    size_t from = 0;
    while (from <= body.size()) {
        const size_t blank = body.find(' ', from);
        const size_t to = blank == std::string_view::npos ? body.size() : blank;
        words.push_back(body.substr(from, to - from));
        from = to + 1;
    }
    if (words.size() < 2 || words[1].size() != 1) return false;
    const std::string msText(words[0]);
    if (!toInt(msText, &out->ms)) return false;
    out->code = words[1][0];
    out->fields.assign(words.size() - 2, std::string());
    for (size_t k = 2; k < words.size(); ++k)
        if (!unescape(words[k], &out->fields[k - 2])) return false;
    return true;
}

void ShowState::apply(const Line& line) {
    if (line.ms > lastEventMs) lastEventMs = line.ms;
    int d = 0;
    switch (line.code) {
        case ev::kCrash:
            if (!line.fields.empty()) crashHistory.push_back(line.fields[0]);
            break;
        case ev::kStart:
            session = numberOr(line, 0, line.ms);
            started = true;
            cleanEnd = false;
            lastFile.clear();
            break;
        case ev::kEnd:
            cleanEnd = true;
            break;
        case ev::kLoad:
            if (deckOf(line, 0, &d) && line.fields.size() > 1) {
                decks[d].file = line.fields[1];
                decks[d].mode = DeckMode::Idle;
                decks[d].positionMs = 0;
                decks[d].positionAtMs = line.ms;
                lastFile = line.fields[1];
            }
            break;
        case ev::kClear:
            if (deckOf(line, 0, &d)) {
                decks[d].file.clear();
                decks[d].mode = DeckMode::Idle;
                decks[d].positionMs = 0;
            }
            break;
        case ev::kPlay:
        case ev::kPause:
        case ev::kStop:
        case ev::kEndOfClip:
        case ev::kPosition:
            if (deckOf(line, 0, &d)) {
                DeckRecord& deck = decks[d];
                deck.positionMs = numberOr(line, 1, 0);
                deck.positionAtMs = line.ms;
                if (line.code == ev::kPlay) {
                    deck.mode = DeckMode::Playing;
                    if (!deck.file.empty()) lastFile = deck.file;
                } else if (line.code == ev::kPause) {
                    deck.mode = DeckMode::Paused;
                } else if (line.code != ev::kPosition) {
                    deck.mode = DeckMode::Idle;
                    deck.positionMs = 0;
                }
            }
            break;
        case ev::kSegue:
            if (deckOf(line, 0, &d)) decks[d].segue = numberOr(line, 1, 0) != 0;
            break;
        case ev::kCutOff:
            if (deckOf(line, 0, &d)) decks[d].cutOff = line.fields.size() > 1 ? line.fields[1] : "";
            break;
        case ev::kCurrent:
            if (deckOf(line, 0, &d)) currentDeck = d;
            break;
        case ev::kIndex:
            if (deckOf(line, 0, &d)) indexDeck = d;
            break;
        case ev::kUser:
            clipUser = line.fields.empty() ? "" : line.fields[0];
            break;
        case ev::kLastFile:
            lastFile = line.fields.empty() ? "" : line.fields[0];
            break;
        case ev::kBegin:
            if (line.fields.size() >= 3) {
                const int64_t id = numberOr(line, 0, -1);
                sounds[id] = OpenSound{line.ms, line.fields[1], line.fields[2]};
                if (!line.fields[2].empty() && line.fields[1].rfind("Deck ", 0) != 0)
                    lastFile = line.fields[2];
            }
            break;
        case ev::kFinish:
            sounds.erase(numberOr(line, 0, -1));
            break;
        default:
            break;
    }
}

int64_t ShowState::positionAt(int deck, int64_t ms) const {
    if (deck < 0 || deck >= kDecks) return 0;
    const DeckRecord& d = decks[deck];
    if (d.mode != DeckMode::Playing) return d.positionMs;
    return d.positionMs + std::max<int64_t>(0, ms - d.positionAtMs);
}

ShowState replay(std::string_view bytes, ReplayStats* stats) {
    ShowState state;
    ReplayStats counted;
    size_t from = 0;
    while (from < bytes.size()) {
        const size_t end = bytes.find('\n', from);
        // A last line without its line end was cut short by the end of the program.
        if (end == std::string_view::npos) {
            ++counted.damaged;
            break;
        }
        Line line;
        if (decodeLine(bytes.substr(from, end - from), &line)) {
            state.apply(line);
            ++counted.lines;
        } else {
            ++counted.damaged;
        }
        from = end + 1;
    }
    if (stats != nullptr) *stats = counted;
    return state;
}

std::string snapshotLines(const ShowState& s) {
    std::string out;
    const int64_t t = s.lastEventMs;
    for (const std::string& file : s.crashHistory) out += encodeLine(t, ev::kCrash, {file});
    for (int d = 0; d < kDecks; ++d) {
        const DeckRecord& deck = s.decks[d];
        const std::string n = std::to_string(d);
        if (!deck.file.empty()) out += encodeLine(deck.positionAtMs, ev::kLoad, {n, deck.file});
        if (deck.segue) out += encodeLine(t, ev::kSegue, {n, "1"});
        if (!deck.cutOff.empty()) out += encodeLine(t, ev::kCutOff, {n, deck.cutOff});
        if (deck.mode == DeckMode::Playing)
            out +=
                encodeLine(deck.positionAtMs, ev::kPosition, {n, std::to_string(deck.positionMs)});
        if (deck.mode != DeckMode::Idle) {
            const char code = deck.mode == DeckMode::Playing ? ev::kPlay : ev::kPause;
            out += encodeLine(deck.positionAtMs, code, {n, std::to_string(deck.positionMs), "0"});
        }
    }
    out += encodeLine(t, ev::kCurrent, {std::to_string(s.currentDeck)});
    out += encodeLine(t, ev::kIndex, {std::to_string(s.indexDeck)});
    if (!s.clipUser.empty()) out += encodeLine(t, ev::kUser, {s.clipUser});
    // Open sounds before the start line: the start line forgets the file they name, and the
    // last-file line after it says which file that was.
    for (const auto& [id, sound] : s.sounds)
        out +=
            encodeLine(sound.startMs, ev::kBegin, {std::to_string(id), sound.source, sound.path});
    if (s.started) {
        out += encodeLine(t, ev::kStart, {std::to_string(s.session)});
        if (!s.lastFile.empty()) out += encodeLine(t, ev::kLastFile, {s.lastFile});
    }
    if (s.cleanEnd) out += encodeLine(t, ev::kEnd, {});
    out += encodeLine(t, ev::kAlive, {});
    return out;
}

}  // namespace brisko::showlog
