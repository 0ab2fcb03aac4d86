// Lock-free single-producer/single-consumer ring of interleaved stereo float frames. The decoder
// thread writes, the mixer reads; positions are absolute 64-bit frame counters.
#pragma once

#include <atomic>
#include <cstdint>
#include <algorithm>
#include <memory>

namespace brisko::audio {

class StereoRing {
public:
    // CAPACITY is rounded up to a power of two.
    explicit StereoRing(int64_t capacityFrames) {
        int64_t cap = 1;
        while (cap < capacityFrames) cap <<= 1;
        capacity_ = cap;
        mask_ = cap - 1;
        data_ = std::unique_ptr<float[]>(new float[static_cast<size_t>(cap * 2)]);
    }

    int64_t capacity() const { return capacity_; }

    // Producer side.
    int64_t writeCount() const { return write_.load(std::memory_order_relaxed); }
    int64_t freeFrames() const {
        return capacity_ - (write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire));
    }
    // Copies up to COUNT frames from SRC; returns the number written.
    int64_t push(const float* src, int64_t count) {
        const int64_t w = write_.load(std::memory_order_relaxed);
        const int64_t space = capacity_ - (w - read_.load(std::memory_order_acquire));
        if (count > space) count = space;
        for (int64_t i = 0; i < count;) {
            const int64_t at = (w + i) & mask_;
            int64_t run = capacity_ - at;
            if (run > count - i) run = count - i;
            std::copy(src + i * 2, src + (i + run) * 2, data_.get() + at * 2);
            i += run;
        }
        write_.store(w + count, std::memory_order_release);
        return count;
    }

    // Contiguous writable space at the write position: up to *FRAMES frames (set to what fits).
    float* writeSpan(int64_t* frames) {
        const int64_t w = write_.load(std::memory_order_relaxed);
        const int64_t space = capacity_ - (w - read_.load(std::memory_order_acquire));
        const int64_t at = w & mask_;
        int64_t run = capacity_ - at;
        if (run > space) run = space;
        if (*frames > run) *frames = run;
        return data_.get() + at * 2;
    }
    // Publishes COUNT frames written into the span.
    void commit(int64_t count) {
        write_.store(write_.load(std::memory_order_relaxed) + count, std::memory_order_release);
    }

    // Takes back what was written from ABSOLUTE on (ABSOLUTE >= the read position): only while
    // the consumer is known not to read past ABSOLUTE.
    void rewindWrite(int64_t absolute) { write_.store(absolute, std::memory_order_release); }

    // Consumer side.
    int64_t publishedWrite() const { return write_.load(std::memory_order_acquire); }
    int64_t readCount() const { return read_.load(std::memory_order_relaxed); }
    // Frames before ABSOLUTE may be overwritten from now on.
    void release(int64_t absolute) { read_.store(absolute, std::memory_order_release); }
    const float* frame(int64_t absolute) const { return data_.get() + (absolute & mask_) * 2; }
    int64_t mask() const { return mask_; }
    const float* data() const { return data_.get(); }

    // Drops everything: only while neither side is running (the caller guarantees that).
    void discardAll() { read_.store(write_.load(std::memory_order_relaxed), std::memory_order_release); }

private:
    int64_t capacity_ = 0;
    int64_t mask_ = 0;
    std::unique_ptr<float[]> data_;
    alignas(64) std::atomic<int64_t> write_{0};
    alignas(64) std::atomic<int64_t> read_{0};
};

}  // namespace brisko::audio
