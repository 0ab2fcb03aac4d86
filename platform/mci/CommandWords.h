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

// True when WORD (not quoted) equals KEYWORD ignoring ASCII case; KEYWORD is given in lower case.
bool isKeyword(const Word& word, std::string_view keyword);
bool equalsIgnoringCase(std::string_view a, std::string_view lowerB);
// wait, notify and test: accepted anywhere a keyword may stand, and ignored.
bool isFlag(const Word& word);

}  // namespace brisko::mci
