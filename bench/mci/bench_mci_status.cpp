// Benchmark: "status voice0 position" on a playing voice, queries per second and latency, beside
// libmpv's playback-position property on the same file (both with silent output).
#include <mpv/client.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench/mci/BenchSupport.h"
#include "platform/audio/Engine.h"
#include "platform/mci/Device.h"
#include "platform/mci/Mci.h"

namespace {

using brisko::bench::Figures;
using namespace brisko::mci;

// A device that answers every status query with a constant: the interpreter's own cost.
class ConstantDevice : public Device {
public:
    MciError play(std::optional<int64_t>, std::optional<int64_t>) override { return kOk; }
    MciError pause() override { return kOk; }
    MciError resume() override { return kOk; }
    MciError stop() override { return kOk; }
    MciError seek(SeekTarget, int64_t) override { return kOk; }
    MciError status(StatusItem, int64_t, StatusValue* value) override {
        value->setTime(123456);
        return kOk;
    }
};

void print(const char* name, const Figures& f) {
    std::printf("  %-40s %11.0f /s wall %11.0f /s cpu   mean %7.1f ns  p50 %7.1f ns  p99 %8.1f ns\n",
                name, f.perSecond, f.perCpuSecond, f.meanNs, f.p50Ns, f.p99Ns);
}

bool measureMpv(const std::string& path, int count, Figures* figures) {
    mpv_handle* mpv = mpv_create();
    if (mpv == nullptr) return false;
    mpv_set_option_string(mpv, "ao", "null");
    mpv_set_option_string(mpv, "vo", "null");
    mpv_set_option_string(mpv, "terminal", "no");
    if (mpv_initialize(mpv) < 0) {
        mpv_terminate_destroy(mpv);
        return false;
    }
    const char* load[] = {"loadfile", path.c_str(), nullptr};
    mpv_command(mpv, load);
    bool playing = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!playing && std::chrono::steady_clock::now() < deadline) {
        mpv_event* event = mpv_wait_event(mpv, 1.0);
        playing = event->event_id == MPV_EVENT_PLAYBACK_RESTART;
    }
    if (playing) {
        *figures = brisko::bench::measure(
            [&] {
                double position = 0;
                mpv_get_property(mpv, "time-pos", MPV_FORMAT_DOUBLE, &position);
            },
            count);
    }
    mpv_terminate_destroy(mpv);
    return playing;
}

}  // namespace

int main() {
    char folder[] = "/tmp/brisko-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;
    const std::string path = std::string(folder) + "/tone.wav";
    brisko::bench::writeTone(path, 120);

    std::string message;
    brisko::audio::Engine::instance().startBackend("null", &message);
    using brisko::mci::mciSendString;
    if (mciSendString("open \"" + path + "\" type mpegvideo alias voice0") != 0 ||
        mciSendString("play voice0") != 0) {
        std::printf("could not open or play the tone through the interface\n");
        return 1;
    }
    std::string reply;
    mciSendString("status voice0 mode", &reply);
    double load[3] = {0, 0, 0};
    ::getloadavg(load, 3);
    std::printf("status query on a playing voice (mode \"%s\", null output); load average %.2f %.2f %.2f\n",
                reply.c_str(), load[0], load[1], load[2]);

    const std::string command = "status voice0 position";
    const int count = 1000000;
    const Figures ours = brisko::bench::measure([&] { mciSendString(command, &reply); }, count);
    print("mciSendString(\"status voice0 position\")", ours);

    // Where the time goes: the engine's own position read, and the interpreter on a device that
    // answers at once.
    brisko::audio::Engine& engine = brisko::audio::Engine::instance();
    volatile int64_t sink = 0;
    const brisko::audio::VoiceId voice = engine.open(path, &message);
    engine.play(voice, -1, -1);
    const auto probe = engine.probe(voice);
    print("  of which the voice probe's positionMs", brisko::bench::measure([&] { sink = probe->positionMs(); }, count));
    print("  (Engine::positionMs, locked, for scale)", brisko::bench::measure([&] { sink = engine.positionMs(voice); }, count));
    print("  (the clock reads of one timing)", brisko::bench::measure([&] { sink = sink + 1; }, count));
    registerDeviceType("benchconstant", [](const OpenRequest&, MciError*) -> std::unique_ptr<Device> {
        return std::make_unique<ConstantDevice>();
    }, false);
    mciSendString("open benchconstant alias constant");
    const std::string constantCommand = "status constant position";
    print("  interpreter alone (constant device)",
          brisko::bench::measure([&] { mciSendString(constantCommand, &reply); }, count));

    Figures mpv;
    const bool haveMpv = measureMpv(path, 200000, &mpv);
    if (haveMpv) print("mpv_get_property(\"time-pos\")", mpv);
    else std::printf("  libmpv did not start playing; no comparison\n");

    std::printf("goal: at least 10x the rate of libmpv, p99 under 1000 ns\n");
    if (haveMpv) {
        std::printf("result: %.1fx the rate of libmpv in wall time, %.1fx in CPU time of the calling "
                    "thread; median latency %.1fx, p99 latency %.1fx lower; p99 %.1f ns\n",
                    ours.perSecond / mpv.perSecond, ours.perCpuSecond / mpv.perCpuSecond,
                    mpv.p50Ns / ours.p50Ns, mpv.p99Ns / ours.p99Ns, ours.p99Ns);
    }
    mciSendString("close all");
    brisko::audio::Engine::instance().shutdown();
    ::unlink(path.c_str());
    ::rmdir(folder);
    return 0;
}
