// Word splitting and keyword comparison for command strings.
#include "platform/mci/CommandWords.h"

#include <new>

namespace brisko::mci {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

MciError CommandWords::split(std::string_view command) {
    count_ = 0;
    std::size_t i = 0;
    const std::size_t n = command.size();
    while (true) {
        while (i < n && isBlank(command[i])) ++i;
        if (i >= n) return kOk;
        if (count_ == kMaxWords) return kErrTooManyWords;
        Word word;
        if (command[i] == '"') {
            // A quote ends the word only when a blank or the end follows it, so names that
            // contain quotes still come through whole.
            const std::size_t start = i + 1;
            std::size_t j = start;
            while (j < n && !(command[j] == '"' && (j + 1 == n || isBlank(command[j + 1])))) ++j;
            if (j >= n) return kErrBadQuote;
            word.text = command.substr(start, j - start);
            word.quoted = true;
            i = j + 1;
        } else {
            const std::size_t start = i;
            while (i < n && !isBlank(command[i])) ++i;
            word.text = command.substr(start, i - start);
        }
        new (&storage_.words[count_++]) Word(word);
    }
}

}  // namespace brisko::mci
