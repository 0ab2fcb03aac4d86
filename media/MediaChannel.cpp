// The media channel: composes the exact command strings for one alias and turns the replies into
// "Success", an error text, "ERROR" or a number (-1 on failure).
#include "media/MediaChannel.h"

#include <cmath>
#include <limits>

#include "media/MediaChannelTesting.h"
#include "media/ReplyNumbers.h"
#include "platform/mci/Mci.h"

namespace brisko {

namespace {

// Replies and error texts are read into 128-character buffers, so 127 characters come through.
constexpr std::size_t kReplyLimit = 127;

MciSender& sender() {
    static MciSender s;
    return s;
}

mci::MciError send(const std::string& command, std::string* reply) {
    const MciSender& s = sender();
    const mci::MciError e = s ? s(command, reply) : mci::mciSendString(command, reply);
    if (reply != nullptr && reply->size() > kReplyLimit) reply->resize(kReplyLimit);
    return e;
}

std::string commandReply(const std::string& command) {
    const mci::MciError e = send(command, nullptr);
    if (e == 0) return "Success";
    std::string text = mci::mciGetErrorString(e);
    if (text.size() > kReplyLimit) text.resize(kReplyLimit);
    return text;
}

// Sends a query; its reply as a number (divided by DIVISOR) rounded half to even, or -1.
int32_t numericQuery(const std::string& command, double divisor = 1.0) {
    std::string reply;
    if (send(command, &reply) != 0) return -1;
    return roundToInt32(leadingNumber(reply) / divisor);
}

std::string lowerCopy(const std::string& s) {
    std::string out = s;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool isSide(const std::string& channel) {
    const std::string lower = lowerCopy(channel);
    return lower == "left" || lower == "right";
}

}  // namespace

void setMciSenderForTesting(MciSender s) { sender() = std::move(s); }

uint32_t sendCommandString(const std::string& command, std::string* reply) { return send(command, reply); }

double leadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    double value = 0.0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') value = value * 10.0 + (text[i++] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10.0) {
            value += (text[i] - '0') * scale;
        }
    }
    return negative ? -value : value;
}

int32_t roundToInt32(double value) {
    if (!std::isfinite(value)) return -1;
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    // A value that does not fit is a failed reading, not a wrapped number.
    if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max()) {
        return -1;
    }
    return static_cast<int32_t>(whole);
}

std::string MediaChannel::open(int64_t parentWindow, const std::string& alias, const std::string& path,
                               const std::string& deviceType) {
    return commandReply("open \"" + shortPath(path) + "\" type " + deviceType + " Alias " + alias +
                        " parent " + std::to_string(parentWindow) + " Style " +
                        std::to_string(1073741824));
}

std::string MediaChannel::play(const std::string& alias, const std::string& from, const std::string& to) {
    const std::string start = from.empty() ? "0" : from;
    const std::string end = to.empty() ? std::to_string(lengthFrames(alias)) : to;
    return commandReply("play " + alias + " from " + start + " to " + end);
}

std::string MediaChannel::pause(const std::string& alias) { return commandReply("Pause " + alias); }
std::string MediaChannel::resume(const std::string& alias) { return commandReply("Resume " + alias); }
std::string MediaChannel::stop(const std::string& alias) { return commandReply("Stop " + alias); }
std::string MediaChannel::close(const std::string& alias) { return commandReply("Close " + alias); }
std::string MediaChannel::closeAllChannels() { return commandReply("Close All"); }

std::string MediaChannel::seek(const std::string& alias, int64_t position) {
    return commandReply("seek " + alias + " to " + std::to_string(position));
}

std::string MediaChannel::mode(const std::string& alias) {
    std::string reply;
    if (send("status " + alias + " mode", &reply) != 0) return "ERROR";
    const std::size_t nul = reply.find('\0');
    if (nul != std::string::npos) reply.resize(nul);
    return reply;
}

int32_t MediaChannel::lengthFrames(const std::string& alias) {
    send("set " + alias + " time format frames", nullptr);
    return numericQuery("status " + alias + " length");
}

int32_t MediaChannel::lengthMs(const std::string& alias) {
    send("set " + alias + " time format ms", nullptr);
    const int32_t length = numericQuery("status " + alias + " length");
    send("set " + alias + " time format frames", nullptr);
    return length;
}

int32_t MediaChannel::position(const std::string& alias) {
    return numericQuery("status " + alias + " position");
}

int32_t MediaChannel::frameRate(const std::string& alias) {
    const int32_t ms = lengthMs(alias);
    const int32_t frames = lengthFrames(alias);
    if (ms < 1 || frames < 1) return -1;
    return roundToInt32(frames / (ms / 1000.0));
}

std::string MediaChannel::setVolume(const std::string& alias, const std::string& channel, int volume) {
    if (volume < 0 || volume > 100) return "out of volume";
    const std::string v = std::to_string(volume * 10);
    if (isSide(channel)) return commandReply("setaudio " + alias + " " + channel + " Volume to " + v);
    return commandReply("setaudio " + alias + " Volume to " + v);
}

int32_t MediaChannel::getVolume(const std::string& alias, const std::string& channel) {
    if (isSide(channel)) return numericQuery("status " + alias + " " + channel + " Volume", 10.0);
    return numericQuery("status " + alias + " Volume", 10.0);
}

std::string MediaChannel::setSpeed(const std::string& alias, int speed) {
    return commandReply("set " + alias + " speed " + std::to_string(static_cast<int64_t>(speed) * 10));
}

int32_t MediaChannel::getSpeed(const std::string& alias) {
    return numericQuery("status " + alias + " speed", 10.0);
}

std::string MediaChannel::setOutput(const std::string& alias, bool cue) {
    return commandReply("set " + alias + (cue ? " output cue" : " output air"));
}

void registerMpegVideoDriver() {}

}  // namespace brisko
