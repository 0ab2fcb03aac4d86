// MP3 frame walking by header (MPEG-1/2/2.5 layer III), decoding through the ffmpeg command, and
// hand-made WAV files.
#include "tests/encoder/Mp3Check.h"

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace brisko::test {

Mp3Frames scanMp3Frames(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    static const int kMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static const int kRates[3] = {44100, 48000, 32000};
    Mp3Frames result;
    size_t pos = 0;
    bool first = true;
    while (pos + 4 <= bytes.size()) {
        const auto* h = reinterpret_cast<const unsigned char*>(bytes.data() + pos);
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || (h[1] & 0x06) != 0x02) return result;  // not layer III
        const int version = (h[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
        const int brIndex = h[2] >> 4;
        const int rateIndex = (h[2] >> 2) & 3;
        if (version == 1 || rateIndex == 3 || brIndex == 0 || brIndex == 15) return result;
        const int rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
        const int kbps = (version == 3 ? kMpeg1 : kMpeg2)[brIndex];
        const int padding = (h[2] >> 1) & 1;
        const size_t length = static_cast<size_t>((version == 3 ? 144000 : 72000) * kbps / rate + padding);
        const std::string frame = bytes.substr(pos, length);
        if (first && (frame.find("Xing") != std::string::npos || frame.find("Info") != std::string::npos)) {
            result.infoTag = true;
        } else {
            result.bitrates.push_back(kbps);
        }
        result.sampleRate = rate;
        first = false;
        pos += length;
    }
    result.valid = pos == bytes.size();
    return result;
}

std::vector<int16_t> decodeWithFfmpeg(const std::string& path) {
    const std::string command = "ffmpeg -nostdin -v error -i '" + path + "' -f s16le -ac 2 -";
    std::vector<int16_t> samples;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return samples;
    int16_t block[4096];
    size_t got = 0;
    while ((got = std::fread(block, sizeof(int16_t), 4096, pipe)) > 0) samples.insert(samples.end(), block, block + got);
    ::pclose(pipe);
    return samples;
}

double correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    double ab = 0, aa = 0, bb = 0;
    for (size_t k = 0; k < n; ++k) {
        ab += static_cast<double>(a[k]) * b[k];
        aa += static_cast<double>(a[k]) * a[k];
        bb += static_cast<double>(b[k]) * b[k];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

namespace {
std::string le(uint32_t v, int bytes) {
    std::string s;
    for (int k = 0; k < bytes; ++k) s.push_back(static_cast<char>(v >> (8 * k)));
    return s;
}
}  // namespace

std::string wavBytes(int channels, int bits, int rate, const std::string& data, int64_t declared,
                     const std::string& beforeData, int formatSize) {
    const int align = channels * bits / 8;
    std::string fmt = le(1, 2) + le(static_cast<uint32_t>(channels), 2) + le(static_cast<uint32_t>(rate), 4) +
                      le(static_cast<uint32_t>(rate * align), 4) + le(static_cast<uint32_t>(align), 2) +
                      le(static_cast<uint32_t>(bits), 2) + le(0, 2);
    fmt.resize(static_cast<size_t>(formatSize));
    std::string body = "WAVE" + std::string("fmt ") + le(static_cast<uint32_t>(fmt.size()), 4) + fmt + beforeData +
                       "data" + le(static_cast<uint32_t>(declared >= 0 ? declared : static_cast<int64_t>(data.size())), 4) + data;
    return "RIFF" + le(static_cast<uint32_t>(body.size()), 4) + body;
}

FileSizeLimit::FileSizeLimit(uint64_t bytes) {
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    oldSoft_ = limit.rlim_cur;
    limit.rlim_cur = bytes;
    active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = oldSoft_;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler_);
}

}  // namespace brisko::test
