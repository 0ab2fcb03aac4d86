// The one error type of the CD ripper and MP3 encoder classes: a number (class base + code), a
// source ("brisko." + class or step name) and a description, as the windows show it.
#pragma once

#include <stdexcept>
#include <string>

namespace brisko {

// The executable name that opens every error source.
inline constexpr const char* kProgramName = "brisko";

class NumberedError : public std::runtime_error {
public:
    NumberedError(int number, std::string source, const std::string& description)
        : std::runtime_error(description), number_(number), source_(std::move(source)) {}

    int number() const { return number_; }
    const std::string& source() const { return source_; }
    std::string description() const { return what(); }

private:
    int number_;
    std::string source_;
};

// "brisko." + SUFFIX, the source of an error raised by a class or one of its steps.
inline std::string errorSource(const std::string& suffix) { return std::string(kProgramName) + "." + suffix; }

}  // namespace brisko
