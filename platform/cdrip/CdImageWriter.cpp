// writeCdImage: copies each WAV file's audio into one .bin, track after track on sector bounds,
// and writes the cue sheet that names the tracks' starts.
#include "platform/cdrip/CdImageWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace brisko::cdrip {

namespace {

constexpr int64_t kSectorBytes = 2352;

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// Finds the data chunk of a CD-format WAV file and leaves IN at its first byte.
bool openWavData(std::ifstream& in, const std::string& path, uint32_t* dataBytes, std::string* error) {
    unsigned char header[12];
    if (!in.read(reinterpret_cast<char*>(header), 12) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        *error = path + ": not a WAV file";
        return false;
    }
    bool haveFormat = false;
    unsigned char chunk[8];
    while (in.read(reinterpret_cast<char*>(chunk), 8)) {
        const uint32_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char fmt[16];
            if (size < 16 || !in.read(reinterpret_cast<char*>(fmt), 16)) break;
            const uint16_t tag = le16(fmt);
            if ((tag != 1 && tag != 0xFFFE) || le16(fmt + 2) != 2 || le32(fmt + 4) != 44100 ||
                le16(fmt + 14) != 16) {
                *error = path + ": not 44100 Hz 16-bit stereo PCM";
                return false;
            }
            haveFormat = true;
            in.seekg(static_cast<std::streamoff>(size - 16 + (size & 1)), std::ios::cur);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) break;
            *dataBytes = size;
            return true;
        } else {
            in.seekg(static_cast<std::streamoff>(size + (size & 1)), std::ios::cur);
        }
    }
    *error = path + ": no audio data found";
    return false;
}

std::string msf(int64_t sector) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(sector / 4500),
                  static_cast<int>(sector / 75 % 60), static_cast<int>(sector % 75));
    return text;
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool writeCdImage(const std::string& cuePath, const std::vector<std::string>& wavFiles,
                  std::string* error) {
    std::string scratch;
    if (error == nullptr) error = &scratch;
    if (wavFiles.empty() || wavFiles.size() > 99) {
        *error = "an image holds 1 to 99 tracks";
        return false;
    }
    const std::string stem = cuePath.size() > 4 && cuePath.compare(cuePath.size() - 4, 4, ".cue") == 0
                                 ? cuePath.substr(0, cuePath.size() - 4)
                                 : cuePath;
    const std::string binPath = stem + ".bin";
    auto fail = [&](const std::string& why) {
        *error = why;
        std::remove(binPath.c_str());
        std::remove(cuePath.c_str());
        return false;
    };

    std::ofstream bin(binPath, std::ios::binary | std::ios::trunc);
    if (!bin) return fail(binPath + ": cannot be written");
    std::string cue = "FILE \"" + baseName(binPath) + "\" BINARY\r\n";
    int64_t sector = 0;
    std::unique_ptr<char[]> buffer(new char[kSectorBytes * 64]);
    for (std::size_t t = 0; t < wavFiles.size(); ++t) {
        std::ifstream in(wavFiles[t], std::ios::binary);
        if (!in) return fail(wavFiles[t] + ": cannot be read");
        uint32_t dataBytes = 0;
        if (!openWavData(in, wavFiles[t], &dataBytes, error)) return fail(*error);
        int64_t copied = 0;
        while (copied < dataBytes) {
            const int64_t want = std::min<int64_t>(kSectorBytes * 64, dataBytes - copied);
            in.read(buffer.get(), want);
            const std::streamsize got = in.gcount();
            if (got <= 0) break;  // a data chunk longer than the file: take what is there
            bin.write(buffer.get(), got);
            copied += got;
        }
        copied -= copied % 4;  // whole sample frames only
        if (copied == 0) return fail(wavFiles[t] + ": has no audio");
        const int64_t sectors = (copied + kSectorBytes - 1) / kSectorBytes;
        // Rewind over a partial frame, then pad the track with silence to its last sector.
        bin.seekp(static_cast<std::streamoff>(sector * kSectorBytes + copied));
        const std::string silence(static_cast<std::size_t>(sectors * kSectorBytes - copied), '\0');
        bin.write(silence.data(), static_cast<std::streamsize>(silence.size()));
        char number[4];
        std::snprintf(number, sizeof number, "%02d", static_cast<int>(t + 1));
        cue += std::string("  TRACK ") + number + " AUDIO\r\n    INDEX 01 " + msf(sector) + "\r\n";
        sector += sectors;
    }
    bin.close();
    if (!bin) return fail(binPath + ": write failed");
    std::ofstream out(cuePath, std::ios::binary | std::ios::trunc);
    out << cue;
    out.close();
    if (!out) return fail(cuePath + ": write failed");
    return true;
}

}  // namespace brisko::cdrip
