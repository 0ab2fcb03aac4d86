// RIFF files: open, read, write and seek a file, and move through its chunks (find a chunk by id,
// descend into a chunk or a RIFF/LIST form, ascend out of it, create a chunk). Qt-free.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace brisko::riff {

// A four-character code as it lies in the file, little-endian ("RIFF" reads as 'R' in the low byte).
using FourCC = uint32_t;

// The code of up to four characters; shorter texts are padded with blanks ("fmt" == "fmt ").
FourCC fourCC(std::string_view text);
// The four characters of a code (for messages and tests).
std::string fourCCText(FourCC code);

// One chunk. Filled by descend and createChunk; ascend needs it back unchanged.
struct Chunk {
    FourCC id = 0;           // chunk identifier ("RIFF", "LIST", "fmt ", "data", ...)
    uint32_t size = 0;       // bytes of data as declared; for RIFF and LIST the form type counts
    FourCC formType = 0;     // form or list type of a RIFF or LIST chunk, else 0
    int64_t dataOffset = 0;  // file offset of the data; for RIFF and LIST, of the form type
    bool created = false;    // made by createChunk: ascend writes its real size
};

// How descend picks the chunk to enter.
enum class Find {
    Next,      // the chunk at the current position, whatever it is
    ChunkId,   // the next chunk whose id equals the wanted chunk's id
    RiffForm,  // the next "RIFF" chunk whose form type equals the wanted chunk's formType
    ListForm,  // the next "LIST" chunk whose form type equals the wanted chunk's formType
};

enum class Mode {
    Read,       // an existing file, read only
    Create,     // create the file or empty an existing one; read and write
    ReadWrite,  // an existing file, read and write, nothing truncated
};

enum class Whence { Begin, Current, End };

// A RIFF file. Buffered; not copyable; closes itself when destroyed. Every call that fails
// returns false (or -1) and leaves a reason in error(). Positions are byte offsets from the start.
class RiffFile {
public:
    RiffFile() = default;
    ~RiffFile();
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    bool open(const std::string& path, Mode mode);
    // Closes the file; false when buffered data could not be written.
    bool close();
    bool isOpen() const { return file_ != nullptr; }

    // Reads up to COUNT bytes; returns the bytes read (fewer at the end of the file), -1 on error.
    int64_t read(void* buffer, int64_t count);
    // Writes COUNT bytes; returns COUNT, or -1 when not all of them could be written.
    int64_t write(const void* buffer, int64_t count);
    // Moves the position; returns the new position, or -1 (the position is then unchanged).
    int64_t seek(int64_t offset, Whence whence = Whence::Begin);
    int64_t tell() const;
    // The size of the file in bytes, -1 if unknown.
    int64_t fileSize() const;

    // Enters a chunk. Searches from the current position; with a PARENT, only within the parent's
    // data (chunks of other ids are skipped, padding bytes of odd sizes honoured). On success
    // CHUNK is filled and the position is at the start of its data (after the form type of a
    // RIFF or LIST chunk). On failure the position is unspecified. For ChunkId set chunk.id
    // first; for RiffForm and ListForm set chunk.formType.
    bool descend(Chunk& chunk, const Chunk* parent = nullptr, Find find = Find::Next);

    // Leaves a chunk: for a chunk made by createChunk, writes its size (the bytes written after
    // its header, form type included) and a padding byte when that size is odd; then moves the
    // position to the byte after the chunk and its padding.
    bool ascend(Chunk& chunk);

    // Writes a chunk header at the current position (id and a size of 0; RIFF and LIST also
    // their form type) and leaves the position at the start of the data. CHUNK.id and, for
    // "RIFF"/"LIST", CHUNK.formType must be set.
    bool createChunk(Chunk& chunk);

    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& what);
    bool readHeader(Chunk& chunk);

    std::FILE* file_ = nullptr;
    bool lastWasWrite_ = false;
    std::string path_;
    std::string error_;
};

}  // namespace brisko::riff
