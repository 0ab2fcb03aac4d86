// RIFF files over buffered stdio: chunk headers are little-endian id and size, RIFF and LIST
// chunks carry a form type, and a chunk of odd size is followed by one padding byte.
#include "platform/riff/Riff.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace brisko::riff {

namespace {

const FourCC kRiff = fourCC("RIFF");
const FourCC kList = fourCC("LIST");

void putLE32(unsigned char* out, uint32_t value) {
    for (int k = 0; k < 4; ++k) out[k] = static_cast<unsigned char>(value >> (8 * k));
}

uint32_t getLE32(const unsigned char* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

bool isForm(FourCC id) { return id == kRiff || id == kList; }

// Bytes the chunk takes after its header: its data and the padding of an odd size.
int64_t paddedSize(uint32_t size) { return static_cast<int64_t>(size) + (size & 1U); }

}  // namespace

FourCC fourCC(std::string_view text) {
    FourCC code = 0;
    for (int k = 0; k < 4; ++k) {
        const auto c = static_cast<unsigned char>(k < static_cast<int>(text.size()) ? text[k] : ' ');
        code |= static_cast<FourCC>(c) << (8 * k);
    }
    return code;
}

std::string fourCCText(FourCC code) {
    std::string text(4, ' ');
    for (int k = 0; k < 4; ++k) text[k] = static_cast<char>((code >> (8 * k)) & 0xFF);
    return text;
}

RiffFile::~RiffFile() { close(); }

bool RiffFile::open(const std::string& path, Mode mode) {
    close();
    const char* how = mode == Mode::Read ? "rb" : mode == Mode::Create ? "w+b" : "r+b";
    file_ = std::fopen(path.c_str(), how);
    if (file_ == nullptr) return fail("cannot open " + path);
    path_ = path;
    std::setvbuf(file_, nullptr, _IOFBF, 64 * 1024);
    error_.clear();
    return true;
}

bool RiffFile::close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok ? true : fail("cannot finish writing " + path_);
}

bool RiffFile::fail(const std::string& what) {
    error_ = errno != 0 ? what + ": " + std::strerror(errno) : what;
    return false;
}

int64_t RiffFile::read(void* buffer, int64_t count) {
    if (file_ == nullptr || count < 0) return fail("no file open"), -1;
    // stdio needs a positioning call between a write and a read on the same stream.
    if (lastWasWrite_) std::fseek(file_, 0, SEEK_CUR);
    lastWasWrite_ = false;
    errno = 0;
    const size_t got = std::fread(buffer, 1, static_cast<size_t>(count), file_);
    if (got < static_cast<size_t>(count) && std::ferror(file_)) {
        std::clearerr(file_);
        return fail("read error in " + path_), -1;
    }
    return static_cast<int64_t>(got);
}

int64_t RiffFile::write(const void* buffer, int64_t count) {
    if (file_ == nullptr || count < 0) return fail("no file open"), -1;
    if (!lastWasWrite_) std::fseek(file_, 0, SEEK_CUR);
    lastWasWrite_ = true;
    errno = 0;
    const size_t put = std::fwrite(buffer, 1, static_cast<size_t>(count), file_);
    if (put != static_cast<size_t>(count)) {
        std::clearerr(file_);
        return fail("write error in " + path_), -1;
    }
    return count;
}

int64_t RiffFile::seek(int64_t offset, Whence whence) {
    if (file_ == nullptr) return fail("no file open"), -1;
    const int origin = whence == Whence::Begin ? SEEK_SET : whence == Whence::Current ? SEEK_CUR : SEEK_END;
    errno = 0;
    if (::fseeko(file_, static_cast<off_t>(offset), origin) != 0) return fail("cannot seek in " + path_), -1;
    lastWasWrite_ = false;
    return tell();
}

int64_t RiffFile::tell() const {
    return file_ == nullptr ? -1 : static_cast<int64_t>(::ftello(file_));
}

int64_t RiffFile::fileSize() const {
    if (file_ == nullptr) return -1;
    const off_t here = ::ftello(file_);
    if (::fseeko(file_, 0, SEEK_END) != 0) return -1;
    const off_t end = ::ftello(file_);
    ::fseeko(file_, here, SEEK_SET);
    return static_cast<int64_t>(end);
}

bool RiffFile::readHeader(Chunk& chunk) {
    const int64_t start = tell();
    unsigned char header[8];
    if (read(header, 8) != 8) return false;
    chunk.id = getLE32(header);
    chunk.size = getLE32(header + 4);
    chunk.formType = 0;
    chunk.dataOffset = start + 8;
    chunk.created = false;
    if (isForm(chunk.id)) {
        unsigned char form[4];
        if (chunk.size < 4 || read(form, 4) != 4) return false;
        chunk.formType = getLE32(form);
    }
    return true;
}

bool RiffFile::descend(Chunk& chunk, const Chunk* parent, Find find) {
    if (file_ == nullptr) return fail("no file open");
    const int64_t start = tell();
    const int64_t parentEnd = parent != nullptr ? parent->dataOffset + parent->size
                                                : std::numeric_limits<int64_t>::max();
    const FourCC wantedId = find == Find::RiffForm ? kRiff : find == Find::ListForm ? kList : chunk.id;
    const FourCC wantedForm = chunk.formType;
    errno = 0;
    for (int64_t pos = start; pos + 8 <= parentEnd; pos = tell()) {
        Chunk found;
        if (!readHeader(found)) break;
        const bool match = find == Find::Next ||
                           (found.id == wantedId && (find == Find::ChunkId || found.formType == wantedForm));
        if (match) {
            chunk = found;
            return true;
        }
        if (seek(found.dataOffset + paddedSize(found.size)) < 0) break;
    }
    seek(start);
    errno = 0;
    return fail("chunk \"" + fourCCText(wantedId) + "\" not found in " + path_);
}

bool RiffFile::ascend(Chunk& chunk) {
    if (file_ == nullptr) return fail("no file open");
    if (chunk.created) {
        const int64_t size = tell() - chunk.dataOffset;
        if (size < 0 || size > std::numeric_limits<uint32_t>::max()) {
            errno = 0;
            return fail("chunk too large for RIFF in " + path_);
        }
        chunk.size = static_cast<uint32_t>(size);
        if ((chunk.size & 1U) != 0) {
            const unsigned char pad = 0;
            if (write(&pad, 1) != 1) return false;
        }
        unsigned char field[4];
        putLE32(field, chunk.size);
        if (seek(chunk.dataOffset - 4) < 0 || write(field, 4) != 4) return false;
    }
    return seek(chunk.dataOffset + paddedSize(chunk.size)) >= 0;
}

bool RiffFile::createChunk(Chunk& chunk) {
    if (file_ == nullptr) return fail("no file open");
    const int64_t start = tell();
    unsigned char header[12];
    putLE32(header, chunk.id);
    const bool form = isForm(chunk.id);
    putLE32(header + 4, form ? 4 : 0);
    putLE32(header + 8, chunk.formType);
    if (write(header, form ? 12 : 8) < 0) return false;
    chunk.dataOffset = start + 8;
    chunk.size = form ? 4 : 0;
    if (!form) chunk.formType = 0;
    chunk.created = true;
    return true;
}

}  // namespace brisko::riff
