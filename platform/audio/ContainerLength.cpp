// Container-stated exact lengths: small readers for the few header fields that state a length
// to the sample, each cross-checked so that a damaged or unusual file is left to counting.
#include "platform/audio/ContainerLength.h"

extern "C" {
#include <libavcodec/vorbis_parser.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace brisko::audio {

size_t readSome(int fd, int64_t pos, void* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, static_cast<char*>(buf) + got, n - got, pos + int64_t(got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += size_t(r);
    }
    return got;
}

bool readAt(int fd, int64_t pos, void* buf, size_t n) { return pos >= 0 && readSome(fd, pos, buf, n) == n; }

namespace {

__extension__ using Wide = __int128;

// Chunks or boxes looked at in one list before giving up: real files have a few dozen.
constexpr int kMaxChunks = 100000;

int64_t fileSize(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : -1;
}

uint32_t be32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint64_t be64(const unsigned char* p) { return uint64_t(be32(p)) << 32 | be32(p + 4); }
uint16_t be16(const unsigned char* p) { return uint16_t(p[0] << 8 | p[1]); }
uint32_t le32(const unsigned char* p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }
uint64_t le64(const unsigned char* p) { return uint64_t(le32(p + 4)) << 32 | le32(p); }
uint16_t le16(const unsigned char* p) { return uint16_t(p[1] << 8 | p[0]); }

// ---- MP4 / MOV ---------------------------------------------------------------------------------

struct Box {
    char type[5] = {};
    int64_t body = 0;  // file offset of the content
    int64_t end = 0;   // file offset after the box
};

// Reads the box header at POS inside a parent ending at LIMIT.
bool readBox(int fd, int64_t pos, int64_t limit, Box* box) {
    unsigned char h[16];
    if (pos + 8 > limit || !readAt(fd, pos, h, 8)) return false;
    uint64_t size = be32(h);
    int64_t header = 8;
    if (size == 1) {
        if (!readAt(fd, pos + 8, h + 8, 8)) return false;
        size = be64(h + 8);
        header = 16;
    } else if (size == 0) {
        size = uint64_t(limit - pos);
    }
    if (size < uint64_t(header) || size > uint64_t(limit - pos)) return false;
    std::memcpy(box->type, h + 4, 4);
    box->body = pos + header;
    box->end = pos + int64_t(size);
    return true;
}

// Finds the first child of type TYPE in [from, to).
bool findBox(int fd, int64_t from, int64_t to, const char* type, Box* out) {
    int boxes = 0;
    for (int64_t pos = from; pos < to && ++boxes < kMaxChunks;) {
        Box b;
        if (!readBox(fd, pos, to, &b)) return false;
        if (std::memcmp(b.type, type, 4) == 0) {
            *out = b;
            return true;
        }
        pos = b.end;
    }
    return false;
}

// The whole content of a leaf box, refused beyond a sane size.
bool readBody(int fd, const Box& b, std::vector<unsigned char>* out, size_t atLeast) {
    const int64_t n = b.end - b.body;
    if (n < int64_t(atLeast) || n > (int64_t(16) << 20)) return false;
    out->resize(size_t(n));
    return readAt(fd, b.body, out->data(), size_t(n));
}

// Timescale of an mvhd or mdhd box (same layout up to the duration).
bool readTimescale(int fd, const Box& b, uint32_t* scale) {
    std::vector<unsigned char> d;
    if (!readBody(fd, b, &d, 4)) return false;
    const size_t at = d[0] == 1 ? 20 : 12;
    if (d.size() < at + 4) return false;
    *scale = be32(d.data() + at);
    return *scale > 0;
}

// Whether the track's last chunk lies wholly within the file: a file cut off before it states
// more than it holds.
bool lastChunkInFile(int fd, const Box& stbl, int64_t fileSize) {
    Box stsz, stsc, stco;
    unsigned char h[12];
    if (!findBox(fd, stbl.body, stbl.end, "stsz", &stsz) || !findBox(fd, stbl.body, stbl.end, "stsc", &stsc) ||
        !readAt(fd, stsz.body, h, 12))
        return false;
    const int64_t sampleSize = be32(h + 4), samples = be32(h + 8);
    const bool co64 = !findBox(fd, stbl.body, stbl.end, "stco", &stco);
    if (co64 && !findBox(fd, stbl.body, stbl.end, "co64", &stco)) return false;
    unsigned char c[8];
    if (!readAt(fd, stco.body + 4, c, 4)) return false;
    const int64_t chunks = be32(c);
    const int64_t entrySize = co64 ? 8 : 4;
    if (chunks <= 0 || 8 + chunks * entrySize > stco.end - stco.body ||
        !readAt(fd, stco.body + 8 + (chunks - 1) * entrySize, c, size_t(entrySize)))
        return false;
    const int64_t offset = co64 ? int64_t(be64(c)) : int64_t(be32(c));
    // Samples in the last chunk: the last run of the sample-to-chunk table.
    unsigned char r[12];
    if (!readAt(fd, stsc.body + 4, c, 4)) return false;
    const int64_t runs = be32(c);
    if (runs <= 0 || 8 + runs * 12 > stsc.end - stsc.body || !readAt(fd, stsc.body + 8 + (runs - 1) * 12, r, 12))
        return false;
    const int64_t perChunk = be32(r + 4);
    if (perChunk <= 0 || perChunk > samples || perChunk > (1 << 20)) return false;
    int64_t bytes = sampleSize * perChunk;  // both below 2^32 and 2^20
    if (sampleSize == 0) {
        if (12 + samples * 4 > stsz.end - stsz.body) return false;
        std::vector<unsigned char> sizes(size_t(perChunk) * 4);
        if (!readAt(fd, stsz.body + 12 + (samples - perChunk) * 4, sizes.data(), sizes.size())) return false;
        for (int64_t i = 0; i < perChunk; ++i) bytes += be32(sizes.data() + i * 4);
    }
    return offset + bytes <= fileSize;
}

}  // namespace

int64_t mp4StatedLength(int fd, int track, int rate) {
    const int64_t size = fileSize(fd);
    Box moov, mvhd;
    if (rate <= 0 || size <= 0 || !findBox(fd, 0, size, "moov", &moov)) return -1;
    Box ignored;
    // Fragmented files keep their samples in fragments: no single table states the length.
    if (findBox(fd, moov.body, moov.end, "mvex", &ignored)) return -1;
    uint32_t movieScale = 0;
    if (!findBox(fd, moov.body, moov.end, "mvhd", &mvhd) || !readTimescale(fd, mvhd, &movieScale)) return -1;
    // The TRACK-th trak box.
    Box trak;
    int64_t pos = moov.body;
    for (int n = 0;; ++n) {
        if (!findBox(fd, pos, moov.end, "trak", &trak)) return -1;
        if (n == track) break;
        pos = trak.end;
    }
    Box mdia, hdlr, mdhd, minf, stbl, stts;
    std::vector<unsigned char> d;
    if (!findBox(fd, trak.body, trak.end, "mdia", &mdia) || !findBox(fd, mdia.body, mdia.end, "hdlr", &hdlr) ||
        !readBody(fd, hdlr, &d, 12) || std::memcmp(d.data() + 8, "soun", 4) != 0)
        return -1;
    uint32_t mediaScale = 0;
    if (!findBox(fd, mdia.body, mdia.end, "mdhd", &mdhd) || !readTimescale(fd, mdhd, &mediaScale)) return -1;
    if (!findBox(fd, mdia.body, mdia.end, "minf", &minf) || !findBox(fd, minf.body, minf.end, "stbl", &stbl) ||
        !findBox(fd, stbl.body, stbl.end, "stts", &stts) || !readBody(fd, stts, &d, 8))
        return -1;
    if (!lastChunkInFile(fd, stbl, size)) return -1;
    const uint32_t entries = be32(d.data() + 4);
    if (uint64_t(entries) * 8 + 8 > d.size()) return -1;
    int64_t media = 0;  // the track's length in media units, last sample's own duration included
    for (uint32_t i = 0; i < entries; ++i) {
        const Wide run = Wide(be32(d.data() + 8 + i * 8)) * be32(d.data() + 12 + i * 8);
        if (run > (Wide(1) << 52)) return -1;
        media += int64_t(run);
        if (media > (int64_t(1) << 52)) return -1;
    }
    int64_t length = media;
    Box edts, elst;
    if (findBox(fd, trak.body, trak.end, "edts", &edts) && findBox(fd, edts.body, edts.end, "elst", &elst)) {
        if (!readBody(fd, elst, &d, 8)) return -1;
        const bool v1 = d[0] == 1;
        const size_t entrySize = v1 ? 20 : 12;
        const uint32_t count = be32(d.data() + 4);
        if (uint64_t(count) * entrySize + 8 > d.size()) return -1;
        // Leading empty edits only delay the start; exactly one edit may play the media, at
        // normal speed. Anything else is left to counting.
        int64_t segment = -1, mediaTime = -1;
        for (uint32_t i = 0; i < count; ++i) {
            const unsigned char* e = d.data() + 8 + i * entrySize;
            const int64_t dur = v1 ? int64_t(be64(e)) : int64_t(be32(e));
            const int64_t time = v1 ? int64_t(be64(e + 8)) : int64_t(int32_t(be32(e + 4)));
            const uint32_t speed = be32(e + (v1 ? 16 : 8));
            if (time == -1) {
                if (segment >= 0) return -1;
                continue;
            }
            if (segment >= 0 || time < 0 || speed != 0x10000 || dur < 0) return -1;
            segment = dur;
            mediaTime = time;
        }
        if (segment >= 0) {
            if (mediaTime > media) return -1;
            length = media - mediaTime;
            // The edit ends the track before the media does when it ends more than one tick of
            // its own (coarser) timescale earlier: the encoder's padding is cut there. Within a
            // tick, the edit is just the media length rounded to that timescale.
            const int64_t edit = int64_t(Wide(segment) * mediaScale / movieScale);
            const int64_t tick = (mediaScale + movieScale - 1) / movieScale;
            if (segment > 0 && edit + tick < length) length = edit;
        }
    }
    if (uint32_t(rate) == mediaScale) return length;
    return int64_t(Wide(length) * rate / mediaScale);
}

int opusPacketSamples(const uint8_t* p, size_t size) {
    if (size == 0) return 0;
    static const int kSilk[4] = {480, 960, 1920, 2880};
    const int config = p[0] >> 3;
    int frame;
    if (config < 12) frame = kSilk[config & 3];
    else if (config < 16) frame = 480 << (config & 1);
    else frame = 120 << (config & 3);
    const int code = p[0] & 3;
    const int count = code == 0 ? 1 : code < 3 ? 2 : size > 1 ? (p[1] & 0x3F) : 0;
    return frame * count;
}

// ---- Ogg ---------------------------------------------------------------------------------------

namespace {

struct OggPage {
    unsigned char flags = 0;
    int64_t granule = 0;
    uint32_t serial = 0;
    std::vector<unsigned char> lacing;
    std::vector<unsigned char> body;
    int64_t size = 0;  // header and body
};

bool parsePageHeader(const unsigned char* h, OggPage* page) {
    if (std::memcmp(h, "OggS", 4) != 0 || h[4] != 0) return false;
    page->flags = h[5];
    page->granule = int64_t(le64(h + 6));
    page->serial = le32(h + 14);
    return true;
}

bool readPage(int fd, int64_t pos, OggPage* page) {
    unsigned char h[27];
    if (!readAt(fd, pos, h, 27) || !parsePageHeader(h, page)) return false;
    page->lacing.resize(h[26]);
    if (!readAt(fd, pos + 27, page->lacing.data(), page->lacing.size())) return false;
    size_t body = 0;
    for (unsigned char l : page->lacing) body += l;
    page->body.resize(body);
    if (!readAt(fd, pos + 27 + int64_t(page->lacing.size()), page->body.data(), body)) return false;
    page->size = 27 + int64_t(page->lacing.size()) + int64_t(body);
    return true;
}

// Packets completed on PAGE (a packet continued from an earlier page is not expected here).
std::vector<std::string> pagePackets(const OggPage& page, std::string* partial) {
    std::vector<std::string> packets;
    size_t at = 0;
    for (unsigned char l : page.lacing) {
        partial->append(reinterpret_cast<const char*>(page.body.data() + at), l);
        at += l;
        if (l < 255) packets.push_back(std::move(*partial)), partial->clear();
    }
    return packets;
}

}  // namespace

int64_t oggStatedLength(int fd) {
    const int64_t size = fileSize(fd);
    OggPage page;
    if (size <= 0 || !readPage(fd, 0, &page) || !(page.flags & 2)) return -1;
    const uint32_t serial = page.serial;
    std::string partial;
    std::vector<std::string> headers = pagePackets(page, &partial);
    if (headers.empty()) return -1;
    const bool opus = headers[0].compare(0, 8, "OpusHead") == 0 && headers[0].size() >= 19;
    const bool vorbis = headers[0].compare(0, 7, "\x01vorbis") == 0;
    if (!opus && !vorbis) return -1;
    const int64_t preSkip = opus ? le16(reinterpret_cast<const unsigned char*>(headers[0].data()) + 10) : 0;
    // Header pages up to the first page with a granule, which is the first audio page.
    const size_t headerCount = opus ? 2 : 3;
    int64_t pos = page.size;
    for (int pages = 0;; ++pages) {
        if (pages > 1000 || !readPage(fd, pos, &page)) return -1;
        if (page.serial != serial || (page.flags & 2)) return -1;  // multiplexed streams
        pos += page.size;
        if (headers.size() < headerCount) {
            for (auto& p : pagePackets(page, &partial)) headers.push_back(std::move(p));
            continue;
        }
        if (page.granule != -1) break;
        return -1;  // an audio page without a granule before the first one with it
    }
    if (headers.size() != headerCount || !partial.empty() || (page.flags & 1)) return -1;
    // Samples of the packets completed on the first audio page: with the granule, where the
    // stream starts. Only a stream starting at 0 is taken as stated.
    int64_t firstPage = 0;
    const std::vector<std::string> packets = pagePackets(page, &partial);
    if (opus) {
        for (const auto& p : packets) firstPage += opusPacketSamples(reinterpret_cast<const uint8_t*>(p.data()), p.size());
    } else {
        // The setup header's modes give each packet's block size; the first packet yields none.
        std::string extradata(1, '\x02');
        for (size_t i = 0; i < 2; ++i) {
            size_t n = headers[i].size();
            for (; n >= 255; n -= 255) extradata.push_back('\xff');
            extradata.push_back(static_cast<char>(n));
        }
        for (const auto& h : headers) extradata += h;
        AVVorbisParseContext* vp =
            av_vorbis_parse_init(reinterpret_cast<const uint8_t*>(extradata.data()), int(extradata.size()));
        if (!vp) return -1;
        for (size_t i = 0; i < packets.size(); ++i) {
            const int d = packets[i].empty() ? 0
                                             : av_vorbis_parse_frame(vp, reinterpret_cast<const uint8_t*>(packets[i].data()),
                                                                     int(packets[i].size()));
            if (d < 0) firstPage = -1;
            if (i > 0 && firstPage >= 0) firstPage += d;
        }
        av_vorbis_parse_free(&vp);
        if (firstPage < 0) return -1;
    }
    if (page.granule != firstPage) return -1;
    // The last page: within the final 64 KiB, ending exactly at the end of the file.
    const int64_t tail = std::min<int64_t>(size, 65536 + 27 + 255);
    std::vector<unsigned char> buf(size_t(tail), 0);
    if (!readAt(fd, size - tail, buf.data(), buf.size())) return -1;
    for (int64_t i = tail - 27; i >= 0; --i) {
        OggPage last;
        if (buf[size_t(i)] != 'O' || !parsePageHeader(buf.data() + i, &last)) continue;
        const int64_t segs = buf[size_t(i) + 26];
        if (i + 27 + segs > tail) continue;
        int64_t body = 0;
        for (int64_t s = 0; s < segs; ++s) body += buf[size_t(i + 27 + s)];
        if (i + 27 + segs + body != tail) continue;
        if (last.serial != serial || !(last.flags & 4) || last.granule < 0) return -1;
        const int64_t frames = last.granule - preSkip;
        return frames >= 0 ? frames : -1;
    }
    return -1;
}

// ---- FLAC --------------------------------------------------------------------------------------

namespace {

uint8_t crc8(const unsigned char* p, size_t n) {
    uint8_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int b = 0; b < 8; ++b) c = uint8_t((c & 0x80) ? (c << 1) ^ 0x07 : c << 1);
    }
    return c;
}

uint16_t crc16(const unsigned char* p, size_t n) {
    static const auto table = [] {
        std::array<uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            uint16_t c = uint16_t(i << 8);
            for (int b = 0; b < 8; ++b) c = uint16_t((c & 0x8000) ? (c << 1) ^ 0x8005 : c << 1);
            t[i] = c;
        }
        return t;
    }();
    uint16_t c = 0;
    for (size_t i = 0; i < n; ++i) c = uint16_t((c << 8) ^ table[(c >> 8) ^ p[i]]);
    return c;
}

// Parses a frame header at P (AVAIL bytes); on success the first sample and the block size.
bool flacFrameHeader(const unsigned char* p, size_t avail, bool variable, int64_t fixedBlock, int64_t* first,
                     int64_t* block) {
    if (avail < 6 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8 || bool(p[1] & 1) != variable) return false;
    const int blockCode = p[2] >> 4, rateCode = p[2] & 15;
    if (blockCode == 0 || rateCode == 15 || (p[3] >> 4) > 10 || ((p[3] >> 1) & 7) == 3 || ((p[3] >> 1) & 7) == 7 ||
        (p[3] & 1))
        return false;
    // UTF-8 style coded frame or sample number.
    size_t at = 4;
    int extra = 0;
    uint64_t num = p[at];
    if (num < 0x80) {
    } else if ((num & 0xE0) == 0xC0) num &= 0x1F, extra = 1;
    else if ((num & 0xF0) == 0xE0) num &= 0x0F, extra = 2;
    else if ((num & 0xF8) == 0xF0) num &= 0x07, extra = 3;
    else if ((num & 0xFC) == 0xF8) num &= 0x03, extra = 4;
    else if ((num & 0xFE) == 0xFC) num &= 0x01, extra = 5;
    else if (num == 0xFE) num = 0, extra = 6;
    else return false;
    ++at;
    for (int i = 0; i < extra; ++i, ++at) {
        if (at >= avail || (p[at] & 0xC0) != 0x80) return false;
        num = num << 6 | (p[at] & 0x3F);
    }
    int64_t size;
    if (blockCode == 1) size = 192;
    else if (blockCode <= 5) size = int64_t(576) << (blockCode - 2);
    else if (blockCode == 6) {
        if (at + 1 > avail) return false;
        size = p[at++] + 1;
    } else if (blockCode == 7) {
        if (at + 2 > avail) return false;
        size = be16(p + at) + 1;
        at += 2;
    } else size = int64_t(256) << (blockCode - 8);
    if (rateCode == 12) ++at;
    else if (rateCode == 13 || rateCode == 14) at += 2;
    if (at + 1 > avail || crc8(p, at) != p[at]) return false;
    *first = variable ? int64_t(num) : int64_t(num) * fixedBlock;
    *block = size;
    return true;
}

}  // namespace

int64_t flacStatedLength(int fd) {
    const int64_t size = fileSize(fd);
    unsigned char h[42];
    int64_t pos = 0;
    if (size <= 0 || !readAt(fd, 0, h, 10)) return -1;
    if (std::memcmp(h, "ID3", 3) == 0) {
        if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return -1;
        pos = 10 + ((int64_t(h[6]) << 21) | (int64_t(h[7]) << 14) | (int64_t(h[8]) << 7) | h[9]) + ((h[5] & 0x10) ? 10 : 0);
    }
    if (!readAt(fd, pos, h, 42) || std::memcmp(h, "fLaC", 4) != 0 || (h[4] & 0x7F) != 0) return -1;
    const unsigned char* info = h + 8;
    const int64_t minBlock = be16(info), maxBlock = be16(info + 2);
    const int64_t total = (int64_t(info[13] & 0x0F) << 32) | be32(info + 14);
    if (total <= 0 || maxBlock <= 0) return -1;
    const bool variable = minBlock != maxBlock;
    // The last frame header, searched backwards in the tail (a frame of the largest block is
    // bounded by its uncompressed size; 1 MiB covers every common layout).
    const int64_t tail = std::min<int64_t>(size - pos, 1 << 20);
    std::vector<unsigned char> buf(size_t(tail), 0);
    if (!readAt(fd, size - tail, buf.data(), buf.size())) return -1;
    // A frame ends in a CRC-16 over all of it: the last frame is whole when that matches at
    // the end of the file. A cut-off last frame cannot be decoded: the sound ends where it
    // starts, when the frame before it ends there.
    int64_t lastStart = -1, lastFirst = 0;
    for (int64_t i = tail - 6; i >= 0; --i) {
        int64_t first = 0, block = 0;
        if (buf[size_t(i)] != 0xFF) continue;
        if (!flacFrameHeader(buf.data() + i, size_t(tail - i), variable, maxBlock, &first, &block)) continue;
        if (lastStart < 0) {
            const size_t n = size_t(tail - i);
            if (n > 2 && crc16(buf.data() + i, n - 2) == be16(buf.data() + tail - 2))
                return first + block == total ? total : -1;
            lastStart = i;
            lastFirst = first;
            continue;
        }
        // The frame before the cut one must end exactly where that starts, whole.
        if (first + block != lastFirst || first + block > total) return -1;
        const size_t n = size_t(lastStart - i);
        return n > 2 && crc16(buf.data() + i, n - 2) == be16(buf.data() + lastStart - 2) ? lastFirst : -1;
    }
    return -1;
}

// ---- WAV and AIFF ------------------------------------------------------------------------------

int64_t wavStatedLength(int fd) {
    const int64_t size = fileSize(fd);
    unsigned char h[12];
    if (size < 12 || !readAt(fd, 0, h, 12) || std::memcmp(h + 8, "WAVE", 4) != 0) return -1;
    const bool rf64 = std::memcmp(h, "RF64", 4) == 0;
    if (!rf64 && std::memcmp(h, "RIFF", 4) != 0) return -1;
    int64_t blockAlign = 0, dataSize64 = -1;
    int chunks = 0;
    for (int64_t pos = 12; pos + 8 <= size && ++chunks < kMaxChunks;) {
        unsigned char c[8];
        if (!readAt(fd, pos, c, 8)) return -1;
        const int64_t len = le32(c + 4);
        if (std::memcmp(c, "ds64", 4) == 0) {
            unsigned char d[16];
            if (len < 16 || !readAt(fd, pos + 8, d, 16)) return -1;
            dataSize64 = int64_t(le64(d + 8));
        } else if (std::memcmp(c, "fmt ", 4) == 0) {
            unsigned char f[16];
            if (len < 16 || !readAt(fd, pos + 8, f, 16)) return -1;
            blockAlign = le16(f + 12);
        } else if (std::memcmp(c, "data", 4) == 0) {
            if (blockAlign <= 0) return -1;
            const int64_t start = pos + 8;
            int64_t stated = len;
            if (rf64 && len == 0xFFFFFFFF) stated = dataSize64;
            // A size of 0 or all ones is written by recorders that never came back to fix it.
            if (stated <= 0 || stated == 0xFFFFFFFF) stated = size - start;
            return std::min(stated, size - start) / blockAlign;
        }
        pos += 8 + len + (len & 1);
    }
    return -1;
}

int64_t aiffStatedLength(int fd) {
    const int64_t size = fileSize(fd);
    unsigned char h[12];
    if (size < 12 || !readAt(fd, 0, h, 12) || std::memcmp(h, "FORM", 4) != 0 ||
        (std::memcmp(h + 8, "AIFF", 4) != 0 && std::memcmp(h + 8, "AIFC", 4) != 0))
        return -1;
    int64_t frames = -1, frameBytes = 0;
    int chunks = 0;
    for (int64_t pos = 12; pos + 8 <= size && ++chunks < kMaxChunks;) {
        unsigned char c[8];
        if (!readAt(fd, pos, c, 8)) return -1;
        const int64_t len = be32(c + 4);
        if (std::memcmp(c, "COMM", 4) == 0) {
            unsigned char m[8];
            if (len < 18 || !readAt(fd, pos + 8, m, 8)) return -1;
            frames = be32(m + 2);
            frameBytes = int64_t(be16(m)) * ((be16(m + 6) + 7) / 8);
        } else if (std::memcmp(c, "SSND", 4) == 0) {
            unsigned char s[4];
            if (frames < 0 || frameBytes <= 0 || len < 8 || !readAt(fd, pos + 8, s, 4)) return -1;
            const int64_t start = pos + 16 + be32(s);
            const int64_t held = (std::min(pos + 8 + len, size) - start) / frameBytes;
            // The sound chunk and the frame count must agree: which one the reader follows is
            // not stated, so a disagreement is left to counting.
            return held == frames ? frames : -1;
        }
        pos += 8 + len + (len & 1);
    }
    return -1;
}

}  // namespace brisko::audio
