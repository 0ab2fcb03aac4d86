// Header-only walk of a WebM/Matroska file for the exact length of its Opus track: EBML elements
// are stepped over by their sizes, read through one large buffer, so only block headers are parsed.
#include "platform/audio/MatroskaLength.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "platform/audio/ContainerLength.h"

namespace brisko::audio {
namespace {

// Element IDs (with their length marker, as written).
constexpr uint32_t kEbml = 0x1A45DFA3, kDocType = 0x4282;
constexpr uint32_t kSegment = 0x18538067, kSeekHead = 0x114D9B74, kInfo = 0x1549A966, kTracks = 0x1654AE6B,
                   kCues = 0x1C53BB6B, kTags = 0x1254C367, kChapters = 0x1043A770, kAttachments = 0x1941A469,
                   kCluster = 0x1F43B675;
constexpr uint32_t kTrackEntry = 0xAE, kTrackNumber = 0xD7, kTrackType = 0x83, kCodecId = 0x86,
                   kCodecPrivate = 0x63A2, kCodecDelay = 0x56AA, kAudio = 0xE1, kSamplingFrequency = 0xB5,
                   kContentEncodings = 0x6D80;
constexpr uint32_t kTimestamp = 0xE7, kSilentTracks = 0x5854, kPosition = 0xA7, kPrevSize = 0xAB,
                   kSimpleBlock = 0xA3, kBlockGroup = 0xA0, kBlock = 0xA1, kDiscardPadding = 0x75A2,
                   kVoid = 0xEC, kCrc32 = 0xBF;

constexpr int kOpusRate = 48000;
constexpr int kMaxPacketSamples = 5760;  // 120 ms, the longest an Opus packet may be
constexpr int kMaxTracks = 64;

// Reads the file through one buffer of kChunk bytes, refilled where the walk needs bytes that
// are not in it: skipped block data costs nothing but the bytes the next header shares a chunk with.
class ChunkReader {
public:
    static constexpr size_t kChunk = 256 * 1024;

    ChunkReader(int fd, int64_t size) : fd_(fd), size_(size), buf_(kChunk) {}

    int64_t pos() const { return pos_; }
    void seek(int64_t pos) { pos_ = pos; }

    // Up to WANT (<= kChunk) bytes at the current position; *AVAIL tells how many, fewer only
    // where the file ends or a read fails.
    const uint8_t* peek(size_t want, size_t* avail) {
        if (pos_ < start_ || pos_ + int64_t(want) > start_ + int64_t(len_)) {
            start_ = pos_;
            len_ = pos_ >= 0 && pos_ < size_ ? readSome(fd_, pos_, buf_.data(), size_t(std::min<int64_t>(kChunk, size_ - pos_)))
                                             : 0;
        }
        const size_t in = pos_ >= start_ && pos_ < start_ + int64_t(len_) ? size_t(start_ + int64_t(len_) - pos_) : 0;
        *avail = std::min(want, in);
        return buf_.data() + (in > 0 ? pos_ - start_ : 0);
    }

    // Exactly N bytes at the current position, or null.
    const uint8_t* need(size_t n) {
        size_t avail = 0;
        const uint8_t* p = peek(n, &avail);
        return avail >= n ? p : nullptr;
    }

private:
    int fd_;
    int64_t size_;
    std::vector<uint8_t> buf_;
    int64_t start_ = 0;  // file offset of buf_[0]
    size_t len_ = 0;     // valid bytes in buf_
    int64_t pos_ = 0;
};

// Length in bytes of an EBML variable-size integer from its first byte (0: invalid).
int vintLength(uint8_t first) { return first == 0 ? 0 : std::countl_zero(first) + 1; }

struct Element {
    uint32_t id = 0;
    int64_t size = -1;  // -1: unknown (runs until something that cannot be its child)
    int64_t start = 0;  // offset of the ID
    int64_t body = 0;   // offset of the content
    int64_t end() const { return body + size; }
};

// Reads the element header at the reader's position and leaves the reader at its content.
bool readElement(ChunkReader& r, Element* e) {
    size_t avail = 0;
    const uint8_t* p = r.peek(12, &avail);
    if (avail < 2) return false;
    const int idLen = vintLength(p[0]);
    if (idLen == 0 || idLen > 4 || size_t(idLen) >= avail) return false;
    const int sizeLen = vintLength(p[idLen]);
    if (sizeLen == 0 || size_t(idLen + sizeLen) > avail) return false;
    uint32_t id = 0;
    for (int i = 0; i < idLen; ++i) id = id << 8 | p[i];
    const uint8_t mask = uint8_t(0xFF >> sizeLen);
    uint64_t size = p[idLen] & mask;
    bool unknown = size == mask;
    for (int i = 1; i < sizeLen; ++i) {
        size = size << 8 | p[idLen + i];
        unknown = unknown && p[idLen + i] == 0xFF;
    }
    e->id = id;
    e->start = r.pos();
    e->body = e->start + idLen + sizeLen;
    e->size = unknown ? -1 : int64_t(size);  // at most 2^56 - 2
    r.seek(e->body);
    return true;
}

bool readUnsigned(ChunkReader& r, const Element& e, uint64_t* v) {
    if (e.size > 8) return false;
    const uint8_t* p = r.need(size_t(e.size));
    if (!p) return false;
    *v = 0;
    for (int64_t i = 0; i < e.size; ++i) *v = *v << 8 | p[i];
    return true;
}

bool readSigned(ChunkReader& r, const Element& e, int64_t* v) {
    uint64_t u = 0;
    if (!readUnsigned(r, e, &u)) return false;
    if (e.size > 0 && e.size < 8 && (u >> (8 * e.size - 1)) & 1) u |= ~uint64_t(0) << (8 * e.size);
    *v = int64_t(u);
    return true;
}

bool readFloat(ChunkReader& r, const Element& e, double* v) {
    uint64_t u = 0;
    if (e.size == 0) {
        *v = 0;
        return true;
    }
    if ((e.size != 4 && e.size != 8) || !readUnsigned(r, e, &u)) return false;
    if (e.size == 4) {
        const auto bits = uint32_t(u);
        float f;
        std::memcpy(&f, &bits, 4);
        *v = f;
    } else {
        std::memcpy(v, &u, 8);
    }
    return true;
}

// Calls F for each child of the element with content [BODY, END); every child must have a known
// size within it. F may move the reader; false from F or a bad child ends the walk with false.
template <class F>
bool forEachChild(ChunkReader& r, int64_t body, int64_t end, F&& f) {
    r.seek(body);
    while (r.pos() < end) {
        Element c;
        if (!readElement(r, &c) || c.size < 0 || c.end() > end || !f(c)) return false;
        r.seek(c.end());
    }
    return true;
}

struct OpusTrack {
    uint64_t number = 0;
    int64_t preSkip = -1;
};

// The file's one audio track, when it is Opus at 48 kHz stored as is; false otherwise.
bool readTracks(ChunkReader& r, const Element& tracks, OpusTrack* out) {
    uint64_t numbers[kMaxTracks];
    int count = 0, audioTracks = 0;
    bool ok = forEachChild(r, tracks.body, tracks.end(), [&](const Element& entry) {
        if (entry.id != kTrackEntry) return true;
        uint64_t number = 0, type = 0, codecDelay = 0;
        bool hasDelay = false, encoded = false, opus = false;
        int64_t preSkip = -1;
        double rate = 8000;  // the format's default
        const bool read = forEachChild(r, entry.body, entry.end(), [&](const Element& c) {
            switch (c.id) {
            case kTrackNumber: return readUnsigned(r, c, &number);
            case kTrackType: return readUnsigned(r, c, &type);
            case kCodecDelay: hasDelay = true; return readUnsigned(r, c, &codecDelay);
            case kContentEncodings: encoded = true; return true;
            case kCodecId: {
                const uint8_t* p = c.size <= 32 ? r.need(size_t(c.size)) : nullptr;
                opus = p && c.size >= 6 && std::memcmp(p, "A_OPUS", 6) == 0 &&
                       std::all_of(p + 6, p + c.size, [](uint8_t b) { return b == 0; });
                return true;
            }
            case kCodecPrivate: {
                const uint8_t* p = c.size >= 19 ? r.need(12) : nullptr;
                if (p && std::memcmp(p, "OpusHead", 8) == 0 && (p[8] >> 4) == 0) preSkip = p[10] | p[11] << 8;
                return true;
            }
            case kAudio:
                return forEachChild(r, c.body, c.end(), [&](const Element& a) {
                    return a.id != kSamplingFrequency || readFloat(r, a, &rate);
                });
            default: return true;
            }
        });
        if (!read || number == 0 || count == kMaxTracks || std::count(numbers, numbers + count, number) > 0)
            return false;
        numbers[count++] = number;
        if (type != 2) return true;
        if (++audioTracks > 1 || !opus || encoded || preSkip < 0 || rate != kOpusRate) return false;
        // The container's codec delay and the header's pre-skip say the same (to within the
        // rounding to nanoseconds), or which one is applied is left to counting.
        if (hasDelay && (codecDelay > 1000000000 || int64_t(codecDelay * 48 + 500000) / 1000000 != preSkip))
            return false;
        out->number = number;
        out->preSkip = preSkip;
        return true;
    });
    return ok && audioTracks == 1;
}

// Samples of the block whose header R has just read when it belongs to TRACK, 0 for another
// track's block, -1 when it cannot be counted (laced, empty or no valid Opus packet).
int blockSamples(ChunkReader& r, const Element& block, uint64_t track) {
    size_t avail = 0;
    const uint8_t* p = r.peek(size_t(std::min<int64_t>(block.size, 16)), &avail);
    const int n = avail > 0 ? vintLength(p[0]) : 0;
    if (n == 0 || n > 8 || size_t(n) + 3 > avail) return -1;
    uint64_t number = p[0] & (0xFF >> n);
    for (int i = 1; i < n; ++i) number = number << 8 | p[i];
    if (number != track) return 0;
    const uint8_t flags = p[n + 2];
    if (flags & 0x06) return -1;  // laced: several packets behind one header
    const size_t at = size_t(n) + 3;
    const size_t packet = size_t(std::min<int64_t>(block.size - int64_t(at), 2));
    if (packet == 0 || at + packet > avail) return -1;
    const int samples = opusPacketSamples(p + at, packet);
    return samples > 0 && samples <= kMaxPacketSamples ? samples : -1;
}

class Walk {
public:
    Walk(ChunkReader& r, const OpusTrack& track) : r_(r), track_(track) {}

    int64_t frames() const { return frames_; }

    // Counts the cluster whose header R has just read, and leaves R after it. A cluster of
    // unknown size ends where an element that can only stand beside it begins (or at END).
    bool cluster(const Element& cluster, int64_t end) {
        const bool unknown = cluster.size < 0;
        if (!unknown && cluster.end() > end) return false;
        if (!unknown) end = cluster.end();
        while (r_.pos() < end) {
            Element e;
            if (!readElement(r_, &e)) return false;
            if (unknown && topLevel(e.id)) {
                r_.seek(e.start);
                return true;
            }
            if (e.size < 0 || e.end() > end) return false;
            switch (e.id) {
            case kSimpleBlock: {
                const int n = blockSamples(r_, e, track_.number);
                if (n < 0 || (n > 0 && padded_)) return false;
                frames_ += n;
                break;
            }
            case kBlockGroup:
                if (!group(e)) return false;
                break;
            case kTimestamp:
            case kSilentTracks:
            case kPosition:
            case kPrevSize:
            case kVoid:
            case kCrc32: break;
            default:
                // Encrypted blocks cannot be counted; in a cluster of unknown size, an unknown
                // element could be where it ends.
                if (unknown || e.id == 0xAF) return false;
            }
            r_.seek(e.end());
        }
        return r_.pos() == end;
    }

private:
    static bool topLevel(uint32_t id) {
        return id == kCluster || id == kCues || id == kTags || id == kSeekHead || id == kInfo || id == kTracks ||
               id == kChapters || id == kAttachments || id == kSegment || id == kEbml;
    }

    // A block group: its one block, less the padding it says to discard at its end.
    bool group(const Element& g) {
        int samples = -1;
        int blocks = 0;
        int64_t paddingNs = 0;
        const bool read = forEachChild(r_, g.body, g.end(), [&](const Element& c) {
            if (c.id == kBlock) {
                samples = blockSamples(r_, c, track_.number);
                return ++blocks == 1 && samples >= 0;
            }
            return c.id != kDiscardPadding || readSigned(r_, c, &paddingNs);
        });
        if (!read || blocks != 1) return false;
        if (samples == 0) return true;
        // Encoders pad the last packet only. Padding anywhere else, negative padding (to discard
        // at the start), padding of a whole packet or more, or reaching into the pre-skip: counted
        // by decoding.
        if (padded_ || paddingNs < 0 || paddingNs > 1000000000) return false;
        const int64_t padding = (paddingNs * 48 + 500000) / 1000000;
        if (padding >= samples || (padding > 0 && frames_ < track_.preSkip)) return false;
        padded_ = padding > 0;
        frames_ += samples - padding;
        return true;
    }

    ChunkReader& r_;
    const OpusTrack& track_;
    int64_t frames_ = 0;
    bool padded_ = false;  // a packet with padding was counted: it must be the last
};

bool isMatroska(ChunkReader& r, const Element& ebml) {
    bool found = false;
    const bool read = forEachChild(r, ebml.body, ebml.end(), [&](const Element& c) {
        if (c.id != kDocType) return true;
        const uint8_t* p = c.size <= 16 ? r.need(size_t(c.size)) : nullptr;
        if (!p) return false;
        const std::string type(reinterpret_cast<const char*>(p), size_t(c.size));
        const std::string name = type.substr(0, type.find('\0'));
        found = name == "webm" || name == "matroska";
        return true;
    });
    return read && found;
}

}  // namespace

int64_t matroskaOpusLength(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 4) return -1;
    const int64_t size = int64_t(st.st_size);
    unsigned char magic[4];
    if (!readAt(fd, 0, magic, 4) || magic[0] != 0x1A || magic[1] != 0x45 || magic[2] != 0xDF || magic[3] != 0xA3)
        return -1;
    ChunkReader r(fd, size);
    Element e;
    if (!readElement(r, &e) || e.id != kEbml || e.size < 0 || e.end() > size || !isMatroska(r, e)) return -1;
    r.seek(e.end());
    if (!readElement(r, &e) || e.id != kSegment) return -1;
    // A segment cut off, or followed by more (another segment, stray data), is counted by decoding.
    if (e.size >= 0 && e.end() != size) return -1;
    OpusTrack track;
    bool haveTracks = false;
    Walk walk(r, track);
    while (r.pos() < size) {
        if (!readElement(r, &e)) return -1;
        if (e.id == kCluster) {
            if (!haveTracks || !walk.cluster(e, size)) return -1;
            continue;
        }
        if (e.size < 0 || e.end() > size || e.id == kSegment || e.id == kEbml) return -1;
        if (e.id == kTracks) {
            if (haveTracks || !readTracks(r, e, &track)) return -1;
            haveTracks = true;
        }
        r.seek(e.end());
    }
    const int64_t frames = walk.frames() - track.preSkip;
    return haveTracks && frames >= 0 ? frames : -1;
}

}  // namespace brisko::audio
