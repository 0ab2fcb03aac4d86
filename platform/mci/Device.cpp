// Default behaviour of devices: commands a device does not offer, and time conversion for
// devices whose positions are milliseconds ("frames" are milliseconds too, frame rate 1000).
#include "platform/mci/Device.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace brisko::mci {

void StatusValue::setText(std::string_view v) {
    kind = Kind::Text;
    textLength = std::min(v.size(), sizeof(text));
    std::memcpy(text, v.data(), textLength);
}

MciError Device::setSpeed(int64_t) { return kErrUnsupportedCommand; }
MciError Device::setDoor(bool) { return kErrUnsupportedCommand; }
MciError Device::setOutput(bool) { return kErrUnsupportedCommand; }
MciError Device::setAudioVolume(AudioSide, int64_t) { return kErrUnsupportedCommand; }

MciError Device::setTimeFormat(TimeFormat format) {
    if (format != TimeFormat::Milliseconds && format != TimeFormat::Frames) {
        return kErrUnsupportedTimeFormat;
    }
    timeFormat_ = format;
    return kOk;
}

MciError Device::parseTime(std::string_view text, int64_t* position) const {
    return parseInteger(text, position) ? kOk : kErrBadNumber;
}

void Device::formatTime(int64_t position, std::string* out) const { writeDecimal(position, out); }

void writeDecimal(int64_t value, std::string* out) {
    // Digits from the right; the magnitude as unsigned so that the most negative value works.
    char buffer[20];
    char* const end = buffer + sizeof(buffer);
    char* p = end;
    uint64_t u = value < 0 ? uint64_t(0) - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    // Two digits per division: replies are mostly positions of five to seven digits.
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    while (u >= 100) {
        const auto pair = static_cast<std::size_t>(u % 100) * 2;
        u /= 100;
        p -= 2;
        std::memcpy(p, kPairs + pair, 2);
    }
    if (u >= 10) {
        p -= 2;
        std::memcpy(p, kPairs + static_cast<std::size_t>(u) * 2, 2);
    } else {
        *--p = static_cast<char>('0' + u);
    }
    if (value < 0) *--p = '-';
    out->assign(p, static_cast<std::size_t>(end - p));
}

bool parseInteger(std::string_view text, int64_t* value) {
    if (text.empty()) return false;
    bool negative = false;
    std::size_t i = 0;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) return false;
    // Accumulate as a negative number so that the most negative value fits.
    int64_t result = 0;
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        const int digit = c - '0';
        if (result < (kMin + digit) / 10) return false;
        result = result * 10 - digit;
    }
    if (!negative) {
        if (result == kMin) return false;
        result = -result;
    }
    *value = result;
    return true;
}

}  // namespace brisko::mci
