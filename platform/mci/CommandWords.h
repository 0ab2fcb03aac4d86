// Splitting a command string into words without allocating: blanks separate words, a word that
// starts with a double quote runs to the next quote that is followed by a blank or the end.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/mci/MciErrors.h"

namespace brisko::mci {

struct Word {
    std::string_view text;
    bool quoted = false;
};

class CommandWords {
public:
    static constexpr int kMaxWords = 48;

    // Splits COMMAND. Returns kErrBadQuote for an unclosed quote, kErrTooManyWords past kMaxWords.
    MciError split(std::string_view command);

    int size() const { return count_; }
    const Word& operator[](int i) const { return storage_.words[i]; }

private:
    // Left unconstructed: only the first count_ words are ever written and read, and the status
    // path should not pay for clearing all of them on every command.
    union Storage {
        Storage() {}
        Word words[kMaxWords];
    } storage_;
    int count_ = 0;
};

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

namespace detail {

// Lower-cases the ASCII capitals among the eight bytes of X at once; other bytes are kept.
inline uint64_t lowerAsciiBytes(uint64_t x) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const uint64_t low7 = x & ~kHigh;
    const uint64_t atLeastA = low7 + kOnes * (0x80 - 'A');       // high bit: byte >= 'A'
    const uint64_t aboveZ = low7 + kOnes * (0x80 - 'Z' - 1);     // high bit: byte > 'Z'
    const uint64_t capital = atLeastA & ~aboveZ & ~x & kHigh;    // and the byte is below 0x80
    return x | (capital >> 2);                                   // 0x80 >> 2 == 0x20
}

inline uint64_t load8(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline uint64_t load4(const char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace detail

// True when A equals LOWER_B ignoring ASCII case; LOWER_B is given in lower case. Compares
// eight (or four) bytes at a time: keywords and aliases are short, and this is on every command.
// Always inlined: with a keyword of known length the compiler keeps only the one comparison
// that length needs.
[[gnu::always_inline]] inline bool equalsIgnoringCase(std::string_view a, std::string_view lowerB) {
    const std::size_t n = a.size();
    if (n != lowerB.size()) return false;
    const char* p = a.data();
    const char* q = lowerB.data();
    using detail::load4;
    using detail::load8;
    using detail::lowerAsciiBytes;
    if (n >= 8) {
        // Whole blocks, then a last block that may overlap the one before.
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            if (lowerAsciiBytes(load8(p + i)) != load8(q + i)) return false;
        }
        return i == n || lowerAsciiBytes(load8(p + n - 8)) == load8(q + n - 8);
    }
    if (n >= 4) {
        return lowerAsciiBytes(load4(p)) == load4(q) && lowerAsciiBytes(load4(p + n - 4)) == load4(q + n - 4);
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (lowerAscii(p[i]) != q[i]) return false;
    }
    return true;
}

// True when WORD (not quoted) equals KEYWORD ignoring ASCII case; KEYWORD is given in lower case.
[[gnu::always_inline]] inline bool isKeyword(const Word& word, std::string_view keyword) {
    return !word.quoted && equalsIgnoringCase(word.text, keyword);
}

// wait, notify and test: accepted anywhere a keyword may stand, and ignored.
[[gnu::always_inline]] inline bool isFlag(const Word& word) {
    const std::size_t n = word.text.size();
    if (n != 4 && n != 6) return false;
    return isKeyword(word, "wait") || isKeyword(word, "notify") || isKeyword(word, "test");
}

}  // namespace brisko::mci
