// libFuzzer target: arbitrary bytes as a WebM/Matroska file for the block-header walk that counts
// an Opus track's length. Whatever the bytes, it must end with a count or a refusal, in time
// proportional to the file, without reading or allocating beyond its buffer.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/audio/MatroskaLength.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = ::memfd_create("matroska", 0);
    if (fd < 0) std::abort();
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) std::abort();
        done += size_t(n);
    }
    const int64_t frames = brisko::audio::matroskaOpusLength(fd);
    // A count is of whole packets of at most 120 ms, each at least a byte and a block header.
    if (frames < -1 || frames > int64_t(size) * 5760) std::abort();
    ::close(fd);
    return 0;
}
