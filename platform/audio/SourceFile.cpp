// Opening files for decoding: plain POSIX reads at each reader's own offset, handed to FFmpeg as
// custom I/O.
#include "platform/audio/SourceFile.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisko::audio {

std::string ffmpegErrorText(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

std::shared_ptr<SourceFile> SourceFile::open(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) -> std::shared_ptr<SourceFile> {
        if (error) *error = why;
        return nullptr;
    };
    if (path.empty()) return fail("no file name given");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail("cannot open " + path + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(path + " is not a regular file");
    }
    if (st.st_size <= 0) {
        ::close(fd);
        return fail(path + " is empty");
    }
    return std::shared_ptr<SourceFile>(new SourceFile(fd, path));
}

SourceFile::~SourceFile() {
    if (fd_ >= 0) ::close(fd_);
}

struct FormatInput::Io {
    std::shared_ptr<SourceFile> file;
    int64_t pos = 0;
    AVIOContext* avio = nullptr;

    static int read(void* opaque, uint8_t* buf, int size) {
        auto* io = static_cast<Io*>(opaque);
        for (;;) {
            const ssize_t n = ::pread(io->file->fd(), buf, static_cast<size_t>(size), io->pos);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                const int err = errno;
                io->file->noteReadError(err);
                return AVERROR(err);
            }
            if (n == 0) return AVERROR_EOF;
            io->pos += n;
            return static_cast<int>(n);
        }
    }
    static int64_t seek(void* opaque, int64_t offset, int whence) {
        auto* io = static_cast<Io*>(opaque);
        struct stat st {};
        const bool haveSize = ::fstat(io->file->fd(), &st) == 0;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return haveSize ? static_cast<int64_t>(st.st_size) : AVERROR(ENOSYS);
        case SEEK_SET: io->pos = offset; break;
        case SEEK_CUR: io->pos += offset; break;
        case SEEK_END:
            if (!haveSize) return AVERROR(ENOSYS);
            io->pos = st.st_size + offset;
            break;
        default: return AVERROR(EINVAL);
        }
        if (io->pos < 0) io->pos = 0;
        return io->pos;
    }
};

FormatInput::FormatInput() = default;

FormatInput::~FormatInput() {
    if (fmt_) avformat_close_input(&fmt_);
    if (io_ && io_->avio) {
        av_freep(&io_->avio->buffer);
        avio_context_free(&io_->avio);
    }
}

bool FormatInput::open(std::shared_ptr<SourceFile> file, bool findInfo, std::string* error) {
    file_ = std::move(file);
    io_ = std::make_unique<Io>();
    io_->file = file_;
    constexpr int kBufferSize = 32768;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer) {
        if (error) *error = "out of memory";
        return false;
    }
    io_->avio = avio_alloc_context(buffer, kBufferSize, 0, io_.get(), &Io::read, nullptr, &Io::seek);
    if (!io_->avio) {
        av_free(buffer);
        if (error) *error = "out of memory";
        return false;
    }
    fmt_ = avformat_alloc_context();
    if (!fmt_) {
        if (error) *error = "out of memory";
        return false;
    }
    fmt_->pb = io_->avio;
    fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The file name only serves as a hint for probing (its extension).
    int r = avformat_open_input(&fmt_, file_->path().c_str(), nullptr, nullptr);
    if (r < 0) {
        // avformat_open_input frees the context on failure.
        fmt_ = nullptr;
        if (error) *error = "not a playable media file (" + ffmpegErrorText(r) + ")";
        return false;
    }
    if (findInfo || fmt_->nb_streams == 0) return this->findInfo(error);
    return true;
}

bool FormatInput::findInfo(std::string* error) {
    if (infoRead_) return true;
    infoRead_ = true;
    const int r = avformat_find_stream_info(fmt_, nullptr);
    if (r < 0) {
        if (error) *error = "cannot read the media file (" + ffmpegErrorText(r) + ")";
        return false;
    }
    return true;
}

int FormatInput::bestAudioStream() const {
    if (!fmt_) return -1;
    const int r = av_find_best_stream(fmt_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    return r < 0 ? -1 : r;
}

}  // namespace brisko::audio
