// The drive thread: one worker with a queue of jobs, started at the first drive call and kept for
// the life of the process (a drive call may still be running when the program ends).
#include "cdripper/DriveThread.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace brisko::cdripper {

namespace {

std::atomic<int> g_waiting{0};  // callers waiting now, on any thread

struct Job {
    const std::function<void()>* work = nullptr;  // the caller's, alive until done is seen
    std::exception_ptr error;
    std::atomic<bool> done{false};  // set after error, under the thread's mutex
};

// Most calls take no time at all (a rip chunk from an image or from the drive's cache): both
// sides look for the other's answer for this long before they sleep, which saves two sleeps and
// wake-ups per call (a rip asks for thousands in a row).
constexpr auto kSpin = std::chrono::microseconds(300);

template <typename Ready>
bool spinFor(Ready&& ready) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::yield();
    }
    return true;
}

class DriveThread {
public:
    DriveThread() { std::thread([this] { run(); }).detach(); }

    void runAndWait(const std::function<void()>& work) {
        auto job = std::make_shared<Job>();
        job->work = &work;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(job);
            queued_count_.fetch_add(1, std::memory_order_release);
        }
        queued_.notify_one();
        spinFor([&job] { return job->done.load(std::memory_order_acquire); });
        const QCoreApplication* app = QCoreApplication::instance();
        const bool eventThread = app != nullptr && QThread::currentThread() == app->thread();
        g_waiting.fetch_add(1);
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (!eventThread) {
                    finished_.wait(lock, [&job] { return job->done.load(); });
                    break;
                }
                // A quick call (a rip chunk from an image) returns before any event is handled.
                if (finished_.wait_for(lock, std::chrono::milliseconds(10), [&job] { return job->done.load(); })) break;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        g_waiting.fetch_sub(1);
        if (job->error) std::rethrow_exception(job->error);
    }

private:
    void run() {
        for (;;) {
            std::shared_ptr<Job> job;
            spinFor([this] { return queued_count_.load(std::memory_order_acquire) > 0; });
            {
                std::unique_lock<std::mutex> lock(mutex_);
                queued_.wait(lock, [this] { return !queue_.empty(); });
                job = std::move(queue_.front());
                queue_.pop_front();
                queued_count_.fetch_sub(1, std::memory_order_relaxed);
            }
            std::exception_ptr error;
            try {
                (*job->work)();
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                job->error = error;
                job->done.store(true, std::memory_order_release);
            }
            finished_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::atomic<int> queued_count_{0};  // the queue's length, for looking without the mutex
};

DriveThread& driveThread() {
    static DriveThread* thread = new DriveThread;  // never destroyed: its worker may still run
    return *thread;
}

}  // namespace

void runOnDriveThread(const std::function<void()>& job) { driveThread().runAndWait(job); }

bool driveCallWaiting() { return g_waiting.load() > 0; }

}  // namespace brisko::cdripper
