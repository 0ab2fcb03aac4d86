// A PcmSource for tests and benchmarks that stalls or fails on demand: its reads block while
// stalled, and fail from a chosen frame on. Its sound is a sawtooth whose every frame differs
// from its neighbours, so a test can tell which frame it hears.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/audio/PcmSource.h"

namespace brisko::test {

// What a test holds to steer its source after handing the source to the engine.
struct SourceControl {
    std::mutex mutex;
    std::condition_variable released;
    bool stalled = false;
    std::atomic<int> readsBlocked{0};   // reads waiting right now
    std::atomic<int64_t> failAt{-1};    // reads at or past this frame fail (-1: never)
    std::atomic<int64_t> reads{0};

    void stall() {
        std::lock_guard l(mutex);
        stalled = true;
    }
    void release() {
        {
            std::lock_guard l(mutex);
            stalled = false;
        }
        released.notify_all();
    }
};

// Left sample of frame F (the right one is its negative).
inline float sawValue(int64_t frame) { return float(frame % 4000) / 4000.0f - 0.5f; }

class TestSource final : public audio::PcmSource {
public:
    TestSource(int rate, int64_t length, std::shared_ptr<SourceControl> control)
        : rate_(rate), length_(length), control_(std::move(control)) {}

    int sampleRate() const override { return rate_; }
    int64_t lengthFrames() const override { return length_; }

    int64_t read(float* out, int64_t maxFrames, std::string* error) override {
        control_->reads.fetch_add(1);
        {
            std::unique_lock l(control_->mutex);
            if (control_->stalled) {
                control_->readsBlocked.fetch_add(1);
                control_->released.wait(l, [&] { return !control_->stalled; });
                control_->readsBlocked.fetch_sub(1);
            }
        }
        const int64_t failAt = control_->failAt.load();
        if (failAt >= 0 && pos_ >= failAt) {
            *error = "the test medium failed";
            return -1;
        }
        int64_t n = std::min(maxFrames, length_ - pos_);
        if (failAt >= 0) n = std::min(n, failAt - pos_);
        for (int64_t i = 0; i < n; ++i) {
            out[i * 2] = sawValue(pos_ + i);
            out[i * 2 + 1] = -sawValue(pos_ + i);
        }
        pos_ += n;
        return n;
    }

    bool seek(int64_t frame, std::string*) override {
        pos_ = frame;
        return true;
    }

private:
    int rate_;
    int64_t length_;
    std::shared_ptr<SourceControl> control_;
    int64_t pos_ = 0;
};

}  // namespace brisko::test
