// Output backends and the recording: the WAV output and the air-check recorder, their failures,
// fallbacks, and the WAV writer itself.
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/audio/HealthWatch.h"
#include "platform/audio/WavFileWriter.h"
#include "tests/platform/audio/AudioTestUtil.h"

extern char** environ;

// A client of a sound server that died is given up without closing it (closing would wait for
// the server for minutes), so its ended thread is never joined.
extern "C" const char* __tsan_default_suppressions() { return "thread:libjack.so\n"; }

namespace brisko::test {
namespace {

using audio::Engine;

uint32_t le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
int16_t le16(const std::string& b, size_t at) { return int16_t(uint16_t(uint8_t(b[at])) | uint16_t(uint8_t(b[at + 1])) << 8); }

// Checks the header of a 16-bit stereo 48 kHz WAV and returns its samples.
std::vector<int16_t> readWav(const std::string& bytes) {
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return {};
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(bytes, 16), 16u);
    EXPECT_EQ(le16(bytes, 20), 1);
    EXPECT_EQ(le16(bytes, 22), 2);
    EXPECT_EQ(le32(bytes, 24), 48000u);
    EXPECT_EQ(le16(bytes, 34), 16);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    const uint32_t data = le32(bytes, 40);
    EXPECT_EQ(le32(bytes, 4), data + 36);
    EXPECT_LE(data, bytes.size() - 44);
    std::vector<int16_t> s(data / 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = le16(bytes, 44 + i * 2);
    return s;
}

class BackendOutput : public EngineFixture {
protected:
    void TearDown() override {
        engine.closeAll();
        engine.startBackend("manual:48000");
    }
};

TEST_F(BackendOutput, FileBackendRecordsTheMixAsItPlays) {
    const std::string wav = dir.file("aircheck.wav");
    const std::string tone = dir.file("tone.wav");
    writeToneWav(tone, {1000.0, 5.0, 48000, 2, 0.5});
    const uint64_t periodsBefore = engine.stats().periodsMixed;
    ASSERT_TRUE(engine.startBackend("file:" + wav));
    EXPECT_EQ(engine.backendSpec(), "file:" + wav);
    EXPECT_EQ(engine.stats().sampleRate, 48000);
    const auto v = openOk(tone);
    ASSERT_TRUE(engine.play(v, 0, -1));
    // While it runs the header is kept current: a killed process leaves a readable file.
    std::vector<int16_t> live;
    for (int i = 0; i < 100 && live.size() < 2 * 48000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        live = readWav(readFile(wav));
    }
    EXPECT_GE(live.size(), 2 * 48000u);  // a second of stereo
    ASSERT_TRUE(engine.startBackend("manual:48000"));  // finalises the file
    const auto samples = readWav(readFile(wav));
    ASSERT_GE(samples.size(), live.size());
    EXPECT_EQ(samples.size() * 2 + 44, readFile(wav).size());
    // The tone is in there at its level and pitch.
    std::vector<float> stereo(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) stereo[i] = samples[i] / 32768.0f;
    const int64_t start = firstLoudFrame(stereo);
    ASSERT_GE(start, 0);
    EXPECT_NEAR(rms(stereo, start, 24000), 0.5 / std::sqrt(2.0), 5e-3);
    EXPECT_NEAR(zeroCrossingFrequency(stereo, start, 24000, 48000), 1000.0, 3.0);
    // Every recorded frame was mixed: 1024-frame periods.
    EXPECT_GE(engine.stats().periodsMixed - periodsBefore, samples.size() / 2 / 1024);
}

TEST_F(BackendOutput, UnusableOutputsFallBackToNull) {
    std::string message;
    EXPECT_FALSE(engine.startBackend("portaudio:no such device anywhere", &message));
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(engine.backendSpec(), "null");
    EXPECT_EQ(engine.backendMessage(), message);
    message.clear();
    EXPECT_FALSE(engine.startBackend("file:" + dir.file("no/such/folder/x.wav"), &message));
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(engine.backendSpec(), "null");
    EXPECT_FALSE(engine.startBackend("bogus", &message));
    EXPECT_FALSE(engine.startBackend("manual:12", &message));
    EXPECT_EQ(engine.backendSpec(), "null");
    // Sound still "plays" on the null output, in real time.
    const std::string tone = dir.file("tone.wav");
    writeToneWav(tone, {440.0, 0.2, 48000, 2, 0.5});
    const auto v = openOk(tone);
    ASSERT_TRUE(engine.play(v, 0, -1));
    for (int i = 0; i < 200 && engine.mode(v) == audio::VoiceMode::Playing; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(engine.mode(v), audio::VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 200);
    EXPECT_TRUE(engine.startBackend("manual", &message));
    EXPECT_TRUE(engine.backendMessage().empty());
}

// The silent output sleeps while nothing sounds, which is no stalled device, and a press wakes
// it so that every period from the first one on carries the voice.
TEST_F(BackendOutput, TheSilentOutputSleepsWhileNothingSoundsAndWakesForAPress) {
    const std::string tone = dir.file("tone.wav");
    writeToneWav(tone, {440.0, 0.5, 48000, 2, 0.5});
    ASSERT_TRUE(engine.startBackend("null"));
    const auto v = openOk(tone);
    const uint64_t stopsBefore = engine.health().deviceStops;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const uint64_t idle = engine.stats().periodsMixed;
    std::this_thread::sleep_for(std::chrono::milliseconds(1700));  // longer than a stall takes
    EXPECT_EQ(engine.stats().periodsMixed, idle);
    EXPECT_FALSE(engine.health().deviceStalled);
    EXPECT_EQ(engine.health().deviceStops, stopsBefore);

    for (int press = 0; press < 2; ++press) {
        const uint64_t before = engine.stats().periodsMixed;
        ASSERT_TRUE(engine.play(v, 0, 300));
        for (int i = 0; i < 1000 && engine.stats().periodsMixed < before + 3; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const uint64_t mixed = engine.stats().periodsMixed - before;
        const int64_t position = engine.positionMs(v);
        ASSERT_GE(mixed, 3u);
        // 1024 frames a period: a period without the voice would leave it one period behind.
        EXPECT_GE(position, std::min<int64_t>(300, int64_t(mixed) * 1024 * 1000 / 48000)) << "press " << press;
        // It plays to its end and the output goes back to sleep.
        for (int i = 0; i < 100 && engine.mode(v) == audio::VoiceMode::Playing; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(engine.positionMs(v), 300);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const uint64_t after = engine.stats().periodsMixed;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(engine.stats().periodsMixed, after);
    }
}

TEST_F(BackendOutput, ChangingTheOutputRateKeepsVoicesWhereTheyWere) {
    const std::string tone = dir.file("tone.wav");
    writeToneWav(tone, {500.0, 2.0, 44100, 2, 0.5});
    ASSERT_TRUE(engine.startBackend("manual:44100"));
    const auto v = openOk(tone);
    ASSERT_TRUE(engine.play(v, 0, 1500));
    render(44100 / 2);
    EXPECT_EQ(engine.positionMs(v), 500);
    ASSERT_TRUE(engine.startBackend("manual:48000"));
    EXPECT_EQ(engine.mode(v), audio::VoiceMode::Playing);
    EXPECT_EQ(engine.positionMs(v), 500);
    const auto out = render(48000);
    EXPECT_NEAR(zeroCrossingFrequency(out, 0, 40000, 48000), 500.0, 2.0);
    EXPECT_EQ(engine.mode(v), audio::VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 1500);
}

TEST_F(BackendOutput, ShutdownClosesEverythingAndStartsNothingByItself) {
    const std::string tone = dir.file("tone.wav");
    writeToneWav(tone, {440.0, 1.0, 48000, 2, 0.5});
    const auto v = openOk(tone);
    ASSERT_TRUE(engine.play(v, 0, -1));
    engine.shutdown();
    EXPECT_FALSE(engine.isOpen(v));
    EXPECT_EQ(engine.stats().openVoices, 0);
    EXPECT_EQ(engine.backendSpec(), "");
    EXPECT_EQ(firstLoudFrame(render(1000), 0, 0.0f), -1);
    ASSERT_TRUE(engine.startBackend("manual:48000"));
    const auto again = openOk(tone);
    ASSERT_TRUE(engine.play(again, 0, -1));
    EXPECT_GT(rms(render(1000), 0, 1000), 0.3);
}

TEST(BackendWavWriter, WritesClippedSixteenBitAndKeepsSizesCurrent) {
    TempDir dir;
    const std::string path = dir.file("out.wav");
    audio::WavFileWriter w;
    std::string error;
    ASSERT_TRUE(w.open(path, 48000, &error)) << error;
    const float frames[] = {0.5f, -0.5f, 1.5f, -1.5f, 0.0f, 1.0f};
    w.write(frames, 3);
    w.refreshHeader();
    auto s = readWav(readFile(path));  // readable before finish()
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0], 16384);
    EXPECT_EQ(s[1], -16384);
    EXPECT_EQ(s[2], 32767);
    EXPECT_EQ(s[3], -32767);
    EXPECT_EQ(s[4], 0);
    EXPECT_EQ(s[5], 32767);
    w.write(frames, 1);
    w.finish();
    s = readWav(readFile(path));
    EXPECT_EQ(s.size(), 8u);
    EXPECT_FALSE(w.open(dir.file("missing/dir/x.wav"), 48000, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace brisko::test

namespace brisko::test {
namespace {

// Commands racing a real-time output thread: opening, playing, seeking, changing volume and
// speed and closing while the mixer runs. Run under ThreadSanitizer this checks the hand-over
// between commands and the mixer; here it checks that nothing crashes, hangs or loses track.
TEST_F(BackendOutput, CommandsWhileTheOutputThreadMixes) {
    const std::string tone = dir.file("tone.wav");
    const std::string mp3 = dir.file("tone.mp3");
    writeToneWav(tone, {440.0, 3.0, 44100, 2, 0.5});
    writeToneMp3(mp3, {440.0, 3.0, 48000, 2, 0.5}, {});
    ASSERT_TRUE(engine.startBackend("null"));
    std::vector<audio::VoiceId> ids;
    for (int round = 0; round < 40; ++round) {
        const auto v = openOk(round % 2 ? tone : mp3);
        ASSERT_GE(v, 0);
        ids.push_back(v);
        ASSERT_TRUE(engine.play(v, round * 10, -1));
        engine.setVolume(v, 100 + round * 20, 900);
        engine.setSpeed(v, 800 + round * 10);
        if (round % 3 == 0) engine.pause(ids[size_t(round / 2)]);
        if (round % 4 == 0) engine.resume(ids[size_t(round / 2)]);
        if (round % 5 == 0) {
            ASSERT_TRUE(engine.seek(ids[size_t(round / 3)], 1500));
        }
        if (round % 7 == 0) {
            ASSERT_TRUE(engine.play(ids[size_t(round / 4)], 2000, 2500));
        }
        if (round % 6 == 5) {
            engine.close(ids.front());
            ids.erase(ids.begin());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (auto v : ids) {
        const int64_t pos = engine.positionMs(v);
        EXPECT_GE(pos, 0);
        EXPECT_LE(pos, 3000);
    }
    // Everything that plays reaches its end in real time.
    const audio::VoiceId last = ids.back();
    ASSERT_TRUE(engine.play(last, 2800, -1));
    for (int i = 0; i < 300 && engine.mode(last) == audio::VoiceMode::Playing; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(engine.mode(last), audio::VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(last), 3000);
    engine.closeAll();
    EXPECT_EQ(engine.stats().openVoices, 0);
}

}  // namespace
}  // namespace brisko::test


namespace brisko::test {
namespace {

// Each file of a recording: a valid header that states exactly the audio on disk.
int64_t recordedFrames(const std::string& path) {
    const std::string bytes = readFile(path);
    const auto samples = readWav(bytes);
    EXPECT_EQ(bytes.size(), 44 + samples.size() * 2) << path << ": the header must match the data";
    return int64_t(samples.size() / 2);
}

TEST_F(BackendOutput, TheRecordingRunsBesideTheOutputAndGoesOnInNumberedFiles) {
    const std::string tone = dir.file("tone.wav");
    writeToneWav(tone, {1000.0, 3.0, 48000, 2, 0.5});
    engine.setRecordingFileLimit(48000 * 4);  // a second per file instead of 4 GiB
    const std::string air = dir.file("air.wav");
    std::string error;
    ASSERT_TRUE(engine.startRecording(air, &error)) << error;
    const auto v = openOk(tone);
    ASSERT_TRUE(engine.play(v, 0, -1));
    for (int i = 0; i < 25; ++i) render(4800);
    engine.stopRecording();
    engine.setRecordingFileLimit(0);
    const std::vector<std::string> names = {air, dir.file("air-002.wav"), dir.file("air-003.wav")};
    EXPECT_EQ(recordedFrames(names[0]), 48000);
    EXPECT_EQ(recordedFrames(names[1]), 48000);
    EXPECT_EQ(recordedFrames(names[2]), 24000);
    // Nothing lost or doubled at the seams: the tone runs on across them at its level.
    const auto second = readWav(readFile(names[1]));
    std::vector<float> stereo(second.size());
    for (size_t i = 0; i < second.size(); ++i) stereo[i] = second[i] / 32768.0f;
    EXPECT_NEAR(rms(stereo, 0, 48000), 0.5 / std::sqrt(2.0), 5e-3);
}

TEST_F(BackendOutput, AFullDiskOrAFileSizeLimitIsReportedAndTheHeaderMatchesTheDisk) {
    // A full output device refuses at once, and says so.
    EXPECT_FALSE(engine.startBackend("file:/dev/full"));
    EXPECT_NE(engine.backendMessage().find("No space"), std::string::npos) << engine.backendMessage();
    ASSERT_TRUE(engine.startBackend("manual:48000"));

    const std::string tone = dir.file("tone.wav");
    writeToneWav(tone, {440.0, 3.0, 48000, 2, 0.5});
    const auto v = openOk(tone);

    // A process file-size limit: EFBIG instead of a fatal SIGXFSZ, and the recording goes on in
    // the next file.
    const uint64_t before = engine.health().recorderErrors;
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100002;  // not a whole number of frames past the header
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string limited = dir.file("limited.wav");
    ASSERT_TRUE(engine.startRecording(limited));
    ASSERT_TRUE(engine.play(v, 0, -1));
    for (int i = 0; i < 10; ++i) render(4800);
    engine.stopRecording();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_GT(engine.health().recorderErrors, before);
    EXPECT_NE(engine.health().lastRecorderError.find("too large"), std::string::npos)
        << engine.health().lastRecorderError;
    EXPECT_EQ(recordedFrames(limited), (100002 - 44) / 4);
    EXPECT_GT(recordedFrames(dir.file("limited-002.wav")), 0);

    // A full disk: a small tmpfs.
    const std::string mountPoint = dir.file("small");
    ASSERT_EQ(::mkdir(mountPoint.c_str(), 0755), 0);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const uint64_t beforeFull = engine.health().recorderErrors;
    const std::string full = mountPoint + "/air.wav";
    ASSERT_TRUE(engine.startRecording(full));
    ASSERT_TRUE(engine.play(v, 0, -1));
    for (int i = 0; i < 10; ++i) render(4800);  // a second: 192 KB into 64 KB
    engine.stopRecording();
    EXPECT_GT(engine.health().recorderErrors, beforeFull);
    EXPECT_NE(engine.health().lastRecorderError.find("No space"), std::string::npos)
        << engine.health().lastRecorderError;
    const int64_t kept = recordedFrames(full);
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 48000);
    ::umount(mountPoint.c_str());

    // The window is told each incident once.
    audio::HealthWatch watch;
    audio::EngineHealth seen = engine.health();
    seen.recorderErrors -= 1;
    (void)watch.newIncidents(seen);
    const auto texts = watch.newIncidents(engine.health());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Recording: " + engine.health().lastRecorderError);
    EXPECT_TRUE(watch.newIncidents(engine.health()).empty());
}

// A JACK server with the dummy driver, paced in real time: the PortAudio backend's device
// ("portaudio:system") on a machine without a sound card. Each test names its own server (JACK
// keeps a short table of server names, and a killed server's entry is reused only by its name)
// and removes what a killed server leaves in /dev/shm.
class JackServer {
public:
    JackServer(const TempDir& dir, const std::string& name)
        : name_("brisko-" + name), log_(dir.file("jackd.log")) {
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        std::vector<std::string> args = {"jackd", "--no-realtime", "-n", name_, "-d", "dummy",
                                         "-r",    "48000",         "-p", "256"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&files, 1, 2);
        if (posix_spawnp(&pid_, "jackd", &files, nullptr, argv.data(), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&files);
    }
    ~JackServer() {
        kill(SIGKILL);
        if (!killed_) return;  // what is there belongs to another server of that name
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
            if (e.path().filename().string().find("_" + name_ + "_") != std::string::npos)
                std::filesystem::remove_all(e.path(), ec);
    }

    // Starts the engine's output (or its cue output) on the server once it answers. Empty when it
    // did; otherwise why the server is not there to test with (the caller skips).
    std::string startOutput(Engine& engine, bool cue = false) {
        if (pid_ == 0) return "jackd is not installed (Debian package jackd2)";
        std::string message;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (cue ? !engine.startCueOutput("portaudio:system", &message)
                   : !engine.startBackend("portaudio:system", &message)) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = 0;
                return "jackd ended at once: " + readFile(log_);
            }
            if (std::chrono::steady_clock::now() > deadline)
                return "jackd does not answer: " + message;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        // A server of that name that is not ours (this test running twice at once on one
        // machine): ours ends at once, and the other is not ours to stall or kill.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = 0;
            engine.startBackend("manual:48000");
            return "another JACK server called " + name_ + " runs: " + readFile(log_);
        }
        return {};
    }

    void kill(int signal) {
        if (pid_ == 0) return;
        ::kill(pid_, signal);
        if (signal == SIGKILL) {
            ::waitpid(pid_, nullptr, 0);
            pid_ = 0;
            killed_ = true;
        }
    }

private:
    std::string name_;
    std::string log_;
    pid_t pid_ = 0;
    bool killed_ = false;
};

double msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Plays a tone through the device and waits until it is heard going on.
audio::VoiceId playThroughDevice(Engine& engine, const TempDir& dir) {
    const std::string tone = dir.file("tone.wav");
    writeToneWav(tone, {440.0, 10.0, 48000, 2, 0.5});
    std::string error;
    const auto v = engine.open(tone, &error);
    EXPECT_GE(v, 0) << error;
    EXPECT_TRUE(engine.play(v, 0, -1));
    for (int i = 0; i < 300 && engine.positionMs(v) < 300; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(engine.positionMs(v), 300) << "the device does not call back";
    return v;
}

// A short stall of the server is an underflow the device reports, and sound goes on; a server
// that dies is noticed, what played is paused where the sound stopped, the silent output takes
// over, and the window is told once.
TEST_F(BackendOutput, ADeviceThatGoesAwayIsGivenUpAndToldOnce) {
    JackServer jack(dir, "device-lost");
    if (const std::string why = jack.startOutput(engine); !why.empty()) GTEST_SKIP() << why;
    const auto v = playThroughDevice(engine, dir);
    audio::HealthWatch watch;
    (void)watch.newIncidents(engine.health());  // what went before (a busy machine may drop out)

    const uint64_t underflows = engine.health().deviceUnderflows;
    jack.kill(SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    jack.kill(SIGCONT);
    for (int i = 0; i < 100 && engine.health().deviceUnderflows == underflows; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(engine.health().deviceUnderflows, underflows);
    const int64_t before = engine.positionMs(v);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GT(engine.positionMs(v), before) << "sound does not go on after a short stall";
    EXPECT_EQ(engine.mode(v), audio::VoiceMode::Playing);
    EXPECT_EQ(engine.health().deviceStops, 0u);
    EXPECT_EQ(watch.newIncidents(engine.health()),
              std::vector<std::string>{"The sound device reported a gap in the sound"});

    jack.kill(SIGKILL);
    const auto lost = std::chrono::steady_clock::now();
    while (engine.health().deviceStops == 0 && msSince(lost) < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double reportedAfter = msSince(lost);
    RecordProperty("report_ms", std::to_string(std::lround(reportedAfter)));
    EXPECT_LT(reportedAfter, 2500.0);
    EXPECT_EQ(engine.health().devicesGivenUp, 1u);
    EXPECT_EQ(engine.mode(v), audio::VoiceMode::Paused);
    const auto texts = watch.newIncidents(engine.health());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0],
              "The sound device stopped: what played is paused; restart Brisko for sound");
    // The silent output runs: the paused voice stays where it was, a new play goes on in time.
    const int64_t pausedAt = engine.positionMs(v);
    EXPECT_EQ(engine.backendSpec(), "null");
    ASSERT_TRUE(engine.play(v, -1, pausedAt + 300));
    for (int i = 0; i < 200 && engine.mode(v) == audio::VoiceMode::Playing; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(engine.mode(v), audio::VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), pausedAt + 300);
    EXPECT_TRUE(watch.newIncidents(engine.health()).empty());
}

// Ending the program just after the server died, before the engine noticed: the stop that
// PortAudio would wait for for minutes is given up within a bounded time.
TEST_F(BackendOutput, ShutdownDoesNotHangOnADeadDevice) {
    JackServer jack(dir, "dead-at-shutdown");
    if (const std::string why = jack.startOutput(engine); !why.empty()) GTEST_SKIP() << why;
    playThroughDevice(engine, dir);
    jack.kill(SIGKILL);
    const auto t0 = std::chrono::steady_clock::now();
    engine.shutdown();
    const double took = msSince(t0);
    RecordProperty("shutdown_ms", std::to_string(std::lround(took)));
    EXPECT_LT(took, 1500.0);
    EXPECT_EQ(engine.stats().openVoices, 0);
    // PortAudio is left alone from then on, with a reason.
    std::string message;
    EXPECT_FALSE(engine.startBackend("portaudio:system", &message));
    EXPECT_NE(message.find("does not answer"), std::string::npos) << message;
}

// A cue device that stalls and then dies is the cue's trouble alone: the air plays on without an
// underrun and counts no stop; the pre-listen is paused and the silent output takes the cue over.
TEST_F(BackendOutput, ACueDeviceThatStallsOrDiesLeavesTheAirUntouched) {
    ASSERT_TRUE(engine.startBackend("null:256"));
    JackServer jack(dir, "cue-lost");
    if (const std::string why = jack.startOutput(engine, true); !why.empty()) {
        engine.startCueOutput("");
        GTEST_SKIP() << why;
    }
    const std::string tone = dir.file("tone.wav");
    writeToneWav(tone, {440.0, 10.0, 48000, 2, 0.5});
    std::string error;
    const auto onAir = engine.open(tone, &error);
    const auto preview = engine.open(tone, &error);
    ASSERT_GE(preview, 0) << error;
    ASSERT_TRUE(engine.setBus(preview, audio::Bus::Cue));
    ASSERT_TRUE(engine.play(onAir, 0, -1));
    ASSERT_TRUE(engine.play(preview, 0, -1));
    for (int i = 0; i < 300 && engine.positionMs(preview) < 300; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(engine.positionMs(preview), 300) << "the cue device does not call back";
    const uint64_t underruns = engine.health().underruns;
    audio::HealthWatch watch;
    (void)watch.newIncidents(engine.health());  // what went before

    jack.kill(SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    jack.kill(SIGCONT);
    jack.kill(SIGKILL);
    const auto lost = std::chrono::steady_clock::now();
    while (engine.health().cueDevicesGivenUp == 0 && msSince(lost) < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const audio::EngineHealth h = engine.health();
    EXPECT_EQ(h.cueDevicesGivenUp, 1u);
    EXPECT_EQ(engine.mode(preview), audio::VoiceMode::Paused);
    EXPECT_EQ(engine.cueSpec(), "null");
    EXPECT_EQ(h.underruns, underruns);
    EXPECT_EQ(h.deviceStops, 0u);
    EXPECT_EQ(h.devicesGivenUp, 0u);
    const int64_t before = engine.positionMs(onAir);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GT(engine.positionMs(onAir), before + 100) << "the air does not go on";
    EXPECT_EQ(engine.mode(onAir), audio::VoiceMode::Playing);
    // The operator is told once, as the cue's trouble and not the air's.
    EXPECT_EQ(watch.newIncidents(engine.health()),
              std::vector<std::string>{"The cue device stopped: the pre-listen is paused; the air plays on"});
    EXPECT_TRUE(watch.newIncidents(engine.health()).empty());
    // A cue device that cannot be had is told too; the air still plays.
    EXPECT_FALSE(engine.startCueOutput("portaudio:no-such-device"));
    const auto texts = watch.newIncidents(engine.health());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("No cue device: ", 0), 0u) << texts[0];
    EXPECT_NE(texts[0].find("pre-listens are silent"), std::string::npos) << texts[0];
    EXPECT_EQ(engine.mode(onAir), audio::VoiceMode::Playing);
    engine.startCueOutput("");
}

}  // namespace
}  // namespace brisko::test
