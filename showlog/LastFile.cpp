// The black box file: a header (magic, sequence, session, deck, length) and the path. The sequence
// is odd while a write is under way, so a reader never takes half a path.
#include "showlog/LastFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace brisko::showlog {

namespace {

constexpr uint32_t kMagic = 0x4b4c4642;  // "BFLK"
constexpr size_t kSize = 4096;

struct Slot {
    uint32_t magic;
    uint32_t sequence;
    int64_t session;
    int32_t deck;
    uint32_t length;
    char path[kSize - 24];
};
static_assert(sizeof(Slot) <= kSize);

}  // namespace

LastFile::~LastFile() {
    close();
}

bool LastFile::open(const std::string& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    if (::ftruncate(fd, kSize) != 0) {
        ::close(fd);
        return false;
    }
    void* map = ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return false;
    map_ = map;
    auto* slot = static_cast<Slot*>(map_);
    // Touch the page now, so that a note never waits for it to be read in.
    if (slot->magic != kMagic) {
        std::memset(slot, 0, sizeof(Slot));
        slot->magic = kMagic;
    }
    return true;
}

void LastFile::close() {
    if (map_ != nullptr) ::munmap(map_, kSize);
    map_ = nullptr;
}

void LastFile::note(int64_t session, int deck, const std::string& path) {
    if (map_ == nullptr) return;
    auto* slot = static_cast<Slot*>(map_);
    std::atomic_ref<uint32_t> sequence(slot->sequence);
    const uint32_t s = sequence.load(std::memory_order_relaxed);
    // The reader is the next run, reading what this process left when it died: only the
    // compiler's order of the stores matters, as for a signal handler.
    sequence.store(s | 1u, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    const size_t n = std::min(path.size(), sizeof(slot->path));
    slot->session = session;
    slot->deck = deck;
    slot->length = static_cast<uint32_t>(n);
    std::memcpy(slot->path, path.data(), n);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    sequence.store((s | 1u) + 1u, std::memory_order_release);
}

bool LastFile::read(const std::string& path, int64_t* session, int* deck, std::string* file) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    Slot slot{};
    const ssize_t n = ::pread(fd, &slot, sizeof slot, 0);
    ::close(fd);
    if (n != static_cast<ssize_t>(sizeof slot) || slot.magic != kMagic) return false;
    if ((slot.sequence & 1u) != 0 || slot.length > sizeof(slot.path) || slot.sequence == 0)
        return false;
    *session = slot.session;
    *deck = slot.deck;
    file->assign(slot.path, slot.length);
    return true;
}

}  // namespace brisko::showlog
