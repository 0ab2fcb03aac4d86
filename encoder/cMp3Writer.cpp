// cMp3Writer: a created-or-emptied output file, appended to with unbuffered writes so that a
// full disk or a file-size limit is reported by the write that meets it.
#include "encoder/cMp3Writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "platform/common/NumberedError.h"

namespace {

[[noreturn]] void raise(cMp3Writer::Code code, const char* step) {
    const char* text = "";
    switch (code) {
        case cMp3Writer::kAllocateBuffer: text = "Unable to allocate output buffer for writing"; break;
        case cMp3Writer::kOpenFile: text = "Unable to open file for writing"; break;
        case cMp3Writer::kMoreThanBuffer: text = "Cannot write more data than is available in the buffer"; break;
        case cMp3Writer::kNotOpen: text = "File not open for writing"; break;
        case cMp3Writer::kWriteFailed: text = "Failed to write buffer to file"; break;
    }
    throw brisko::NumberedError(cMp3Writer::kErrorBase + code, brisko::errorSource(step), text);
}

}  // namespace

cMp3Writer::~cMp3Writer() { CloseFile(); }

bool cMp3Writer::CloseFile() {
    if (fd_ < 0) return true;
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

void cMp3Writer::allocate(int64_t bytes) {
    buffer_.reset();
    bufferSize_ = 0;
    if (bytes < 0) raise(kAllocateBuffer, "AllocateBuffer");
    buffer_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes > 0 ? bytes : 1)]());
    if (!buffer_) raise(kAllocateBuffer, "AllocateBuffer");
    bufferSize_ = bytes;
}

void cMp3Writer::setBufferSize(int64_t bytes) { allocate(bytes); }

void cMp3Writer::setFilename(const std::string& name) {
    CloseFile();
    filename_ = name;
    if (!buffer_) allocate(bufferSize_);
    fd_ = name.empty() ? -1 : ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) raise(kOpenFile, "OpenFile");
}

int64_t cMp3Writer::WriteBufferToFile(int64_t bytes) {
    if (bytes > bufferSize_) raise(kMoreThanBuffer, "WriteBufferToFile");
    if (fd_ < 0 || !buffer_) raise(kNotOpen, "WriteBufferToFile");
    if (bytes <= 0) return 0;
    int64_t done = 0;
    while (done < bytes) {
        const ssize_t put = ::write(fd_, buffer_.get() + done, static_cast<size_t>(bytes - done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) raise(kWriteFailed, "WriteBufferToFile");
        done += put;
    }
    return done;
}
