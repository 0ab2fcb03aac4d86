// MPEG audio frame walking for exact lengths.
#include "platform/audio/Mp3Scan.h"

#include "platform/audio/ContainerLength.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace brisko::audio {
namespace {

struct FrameHeader {
    int bytes = 0;          // whole frame, header included
    int samples = 0;        // per channel
    int sampleRate = 0;
    bool mpeg1 = false;
    bool mono = false;
    int layer = 0;
};

// Parses a 4-byte MPEG audio header; false for anything invalid or free-format.
bool parseHeader(const unsigned char* h, FrameHeader* out) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
    const int version = (h[1] >> 3) & 3;  // 0 = 2.5, 2 = 2, 3 = 1
    const int layerBits = (h[1] >> 1) & 3;
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
    static const int kRates[3] = {44100, 48000, 32000};
    static const int kBitrates[2][3][16] = {
        {// MPEG-1: layers I, II, III
         {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        {// MPEG-2 and 2.5
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
    const bool mpeg1 = version == 3;
    const int layer = 4 - layerBits;  // 1, 2 or 3
    int rate = kRates[rateIndex];
    if (version == 2) rate /= 2;
    if (version == 0) rate /= 4;
    const int bitrate = kBitrates[mpeg1 ? 0 : 1][layer - 1][bitrateIndex] * 1000;
    const int padding = (h[2] >> 1) & 1;
    FrameHeader f;
    f.sampleRate = rate;
    f.mpeg1 = mpeg1;
    f.mono = (h[3] >> 6) == 3;
    f.layer = layer;
    if (layer == 1) {
        f.samples = 384;
        f.bytes = (12 * bitrate / rate + padding) * 4;
    } else if (layer == 2 || mpeg1) {
        f.samples = 1152;
        f.bytes = 144 * bitrate / rate + padding;
    } else {
        f.samples = 576;
        f.bytes = 72 * bitrate / rate + padding;
    }
    if (f.bytes < 4) return false;
    *out = f;
    return true;
}

uint32_t be32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// Reads the file through a sliding window, one large pread at a time.
class Window {
public:
    Window(int fd, size_t bytes) : fd_(fd), buf_(bytes) {}
    // Pointer to NEED bytes at file offset POS, or nullptr past the end or on a read error.
    const unsigned char* at(int64_t pos, size_t need) {
        if (pos < base_ || pos + int64_t(need) > base_ + int64_t(len_)) {
            if (need > buf_.size()) return nullptr;
            base_ = pos;
            len_ = readSome(fd_, pos, buf_.data(), buf_.size());
            if (len_ < need) return nullptr;
        }
        return buf_.data() + (pos - base_);
    }

private:
    int fd_;
    std::vector<unsigned char> buf_;
    int64_t base_ = 0;
    size_t len_ = 0;
};

// Reads ID3v2 tags and the first frame; POS ends at the first audio frame.
bool readTag(Window& w, Mp3Tag* out, FrameHeader* first) {
    Mp3Tag t;
    int64_t pos = 0;
    for (const unsigned char* h; (h = w.at(pos, 10)) != nullptr && std::memcmp(h, "ID3", 3) == 0;) {
        if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return false;
        const int64_t tag = (int64_t(h[6]) << 21) | (int64_t(h[7]) << 14) | (int64_t(h[8]) << 7) | h[9];
        pos += 10 + tag + ((h[5] & 0x10) ? 10 : 0);
    }
    const unsigned char* firstBytes = w.at(pos, 4);
    if (!firstBytes || !parseHeader(firstBytes, first)) return false;
    t.audioStart = pos;
    if (first->layer != 3) {  // the tag rules below are those of layer III files
        *out = t;
        return true;
    }
    // A Xing/Info tag frame is no audio; its LAME extension gives the encoder delay and padding.
    const int64_t sideInfo = first->mpeg1 ? (first->mono ? 17 : 32) : (first->mono ? 9 : 17);
    const unsigned char* frame = w.at(pos, size_t(first->bytes));
    const unsigned char* tag = frame && 4 + sideInfo + 8 <= first->bytes ? frame + 4 + sideInfo : nullptr;
    if (tag && (std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0)) {
        t.found = true;
        const unsigned char* p = tag + 4;
        const unsigned char* frameEnd = frame + first->bytes;
        const uint32_t flags = be32(p);
        p += 4;
        if (flags & 1) {
            if (p + 4 > frameEnd) return false;
            t.tagFrames = be32(p);
            p += 4;
        }
        if (flags & 2) p += 4;
        if (flags & 4) p += 100;
        if (flags & 8) p += 4;
        // Version string (9), revision, lowpass, peak (4), two gains (2 + 2), flags, bitrate: 21.
        if (p + 24 <= frameEnd &&
            (std::memcmp(p, "LAME", 4) == 0 || std::memcmp(p, "Lavf", 4) == 0 || std::memcmp(p, "Lavc", 4) == 0)) {
            const unsigned char* v = p + 21;
            const int delay = (v[0] << 4) | (v[1] >> 4);
            const int padding = ((v[1] & 0x0F) << 8) | v[2];
            t.startSkip = delay + 528 + 1;
            if (t.tagFrames > 0) t.endPad = padding;
        }
        t.audioStart = pos + first->bytes;
    } else if (frame && first->bytes >= 40 && std::memcmp(frame + 36, "VBRI", 4) == 0) {
        return false;
    }
    *out = t;
    return true;
}

}  // namespace

int mp3FrameBytes(const unsigned char* h) {
    FrameHeader f;
    return parseHeader(h, &f) ? f.bytes : 0;
}

bool readMp3Tag(int fd, Mp3Tag* tag) {
    Window w(fd, 64 * 1024);
    FrameHeader first;
    return readTag(w, tag, &first);
}

int64_t scanMp3Frames(int fd, std::vector<SeekPoint>* index) {
    std::vector<SeekPoint> points;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return -1;
    const int64_t size = st.st_size;
    Window w(fd, 1 << 18);
    Mp3Tag tag;
    FrameHeader first;
    if (!readTag(w, &tag, &first) || first.layer != 3) return -1;
    // Trailing tags after the audio.
    int64_t end = size;
    if (end >= 128) {
        const unsigned char* t = w.at(end - 128, 128);
        if (t && std::memcmp(t, "TAG", 3) == 0) end -= 128;
    }
    if (end >= 32) {
        const unsigned char* a = w.at(end - 32, 32);
        if (a && std::memcmp(a, "APETAGEX", 8) == 0) {
            const int64_t tagSize = a[12] | int64_t(a[13]) << 8 | int64_t(a[14]) << 16 | int64_t(a[15]) << 24;
            const bool hasHeader = (a[23] & 0x80) != 0;
            const int64_t whole = tagSize + (hasHeader ? 32 : 0);
            if (whole > end) return -1;
            end -= whole;
        }
    }
    if (tag.audioStart + 4 > end) return -1;

    int64_t pos = tag.audioStart;
    int64_t frames = 0;
    int64_t samples = 0;
    // Frame sizes by the header's third byte (bit rate, rate, padding), for headers whose
    // second byte (version, layer) is the first frame's: most frames need no parsing.
    const unsigned char* firstHeader = w.at(tag.audioStart, 4);
    if (!firstHeader) return -1;
    const unsigned char version = firstHeader[1] & 0xFE;
    int sizeOf[256] = {};
    while (pos < end) {
        const unsigned char* h = pos + 4 <= end ? w.at(pos, 4) : nullptr;
        if (!h || h[0] != 0xFF) return -1;
        int bytes = (h[1] & 0xFE) == version ? sizeOf[h[2]] : 0;
        if (bytes == 0) {
            FrameHeader f;
            if (!parseHeader(h, &f)) return -1;
            if (f.sampleRate != first.sampleRate || f.layer != first.layer || f.samples != first.samples) return -1;
            bytes = f.bytes;
            if ((h[1] & 0xFE) == version) sizeOf[h[2]] = bytes;
        }
        if (pos + bytes > end) return -1;  // a cut-off last frame: let the decoder decide
        if (frames % 32 == 0) points.push_back({pos, samples});
        samples += first.samples;
        ++frames;
        pos += bytes;
    }
    if (frames == 0) return -1;
    // The padding lies at the end of the frames really present, whatever the tag's frame count
    // says (a count that is off would place it in the middle of the sound, or past its end).
    const int64_t discarded = tag.endPad >= 0 ? std::min(mp3EndTrim(tag.endPad), samples) : 0;
    if (index) *index = std::move(points);
    return std::max<int64_t>(0, samples - tag.startSkip - discarded);
}

}  // namespace brisko::audio
