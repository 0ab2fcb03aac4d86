// Splitting a command string into words without allocating: blanks separate words, a word that
// starts with a double quote runs to the next quote that is followed by a blank or the end.
#pragma once

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

// True when A equals LOWER_B ignoring ASCII case; LOWER_B is given in lower case.
inline bool equalsIgnoringCase(std::string_view a, std::string_view lowerB) {
    if (a.size() != lowerB.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerB[i]) return false;
    }
    return true;
}

// True when WORD (not quoted) equals KEYWORD ignoring ASCII case; KEYWORD is given in lower case.
inline bool isKeyword(const Word& word, std::string_view keyword) {
    return !word.quoted && equalsIgnoringCase(word.text, keyword);
}

// wait, notify and test: accepted anywhere a keyword may stand, and ignored.
inline bool isFlag(const Word& word) {
    const std::size_t n = word.text.size();
    if (n != 4 && n != 6) return false;
    return isKeyword(word, "wait") || isKeyword(word, "notify") || isKeyword(word, "test");
}

}  // namespace brisko::mci
