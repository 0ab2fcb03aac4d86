// Word splitting and keyword comparison for command strings.
#include "platform/mci/CommandWords.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace brisko::mci {

namespace {

// Space, tab, line feed, vertical tab, form feed and carriage return. Most characters of a command
// are above the space, so one comparison settles them.
constexpr uint64_t kBlanks = (uint64_t(1) << ' ') | (uint64_t(1) << '\t') | (uint64_t(1) << '\n') |
                             (uint64_t(1) << '\v') | (uint64_t(1) << '\f') | (uint64_t(1) << '\r');

inline bool isBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' && ((kBlanks >> u) & 1) != 0;
}

// The first blank at or after P, or END. Looks at eight characters at a time for one at or below
// the space (every blank is), then settles that one alone.
const char* wordEnd(const char* p, const char* end) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    while (end - p >= 8) {
        uint64_t x;
        std::memcpy(&x, p, 8);
        // High bit of each byte below 0x21; the lowest one marked is exactly the first such byte.
        const uint64_t low = (x - kOnes * 0x21) & ~x & kHigh;
        if (low == 0) {
            p += 8;
            continue;
        }
        p += __builtin_ctzll(low) / 8;
        if (isBlank(*p)) return p;
        ++p;  // a control character inside the word
    }
    while (p != end && !isBlank(*p)) ++p;
    return p;
}

}  // namespace

MciError CommandWords::split(std::string_view command) {
    count_ = 0;
    const char* p = command.data();
    const char* const end = p + command.size();
    while (true) {
        while (p != end && isBlank(*p)) ++p;
        if (p == end) return kOk;
        if (count_ == kMaxWords) return kErrTooManyWords;
        Word* word = new (&storage_.words[count_]) Word;
        if (*p == '"') {
            // A quote ends the word only when a blank or the end follows it, so names that
            // contain quotes still come through whole.
            const char* const start = p + 1;
            const char* q = start;
            while (q != end && !(*q == '"' && (q + 1 == end || isBlank(q[1])))) ++q;
            if (q == end) return kErrBadQuote;
            word->text = std::string_view(start, static_cast<std::size_t>(q - start));
            word->quoted = true;
            p = q + 1;
        } else {
            const char* const start = p;
            p = wordEnd(p, end);
            word->text = std::string_view(start, static_cast<std::size_t>(p - start));
        }
        ++count_;
    }
}

}  // namespace brisko::mci
