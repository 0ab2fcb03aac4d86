// The playback engine: one per process. Commands come from any thread, each voice has a reader
// thread of its own that keeps its ring buffer filled, and the output callback mixes every playing
// voice into the master. Slow work on one voice never holds up another voice or the output.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brisko::audio {

class PcmSource;

enum class VoiceMode { Stopped, Playing, Paused };

// Where a voice is heard: on air (the master mix, the recording), or on the cue output, a
// second stream for pre-listening that only the operator hears.
enum class Bus { Air, Cue };

// Voice handles are small non-negative integers; -1 means "no voice".
using VoiceId = int;

// A read-only view of one voice's position and mode that takes no lock: it reads the voice's
// atomics directly, so a caller that asks many times a second (a status query per deck per tick)
// neither waits for nor slows the command side. It keeps the voice's state alive, so it stays
// safe to use after the voice is closed; it then reports -1 and Stopped, as Engine does.
class VoiceProbe {
public:
    virtual ~VoiceProbe() = default;
    // As Engine::positionMs and Engine::mode of the voice.
    virtual int64_t positionMs() const = 0;
    virtual VoiceMode mode() const = 0;
};

struct EngineStats {
    uint64_t underruns = 0;       // output periods in which a playing voice had no data ready
    uint64_t periodsMixed = 0;    // output periods the callback has mixed
    int sampleRate = 0;           // output rate of the backend in frames per second
    int framesPerPeriod = 0;      // frames the backend asks for per callback (0 = varies)
    int64_t lastMixNanos = 0;     // time the most recent mix took (for benchmarks)
    int openVoices = 0;           // voices currently open
};

// What went wrong so far, counted without locks where the output callback counts. Counters only
// grow; a watcher compares them with what it saw before to tell each new incident once.
struct EngineHealth {
    uint64_t underruns = 0;         // output periods in which a playing voice had no sound ready
    uint64_t deviceUnderflows = 0;  // periods the output device reported an underflow
    uint64_t deviceOverflows = 0;   // periods the output device reported an overflow
    uint64_t deviceStops = 0;       // times the output stopped calling back or ended by itself
    uint64_t devicesGivenUp = 0;    // of those, devices the engine gave up: what played was
                                    // paused there and the silent output took over
    bool deviceStalled = false;     // the output is not calling back right now
    uint64_t readErrors = 0;        // voices ended early by a read or decode error
    std::string lastReadError;
    uint64_t recorderErrors = 0;    // recording failures (write errors, full disk, lost sound)
    std::string lastRecorderError;
    std::string backendMessage;     // why the chosen output is not in use ("" when it is)
    // The cue output, told apart: its troubles never count as the air's.
    uint64_t cueDeviceStops = 0;
    uint64_t cueDevicesGivenUp = 0;
    bool cueDeviceStalled = false;
    uint64_t cueUnderruns = 0;
    std::string cueBackendMessage;  // why the chosen cue output is not in use ("" when it is)
};

// One period of the air mix as the output callback measured it: the largest absolute sample
// per channel, the period's length, and whether a voice sounded in it.
struct MixPeak {
    float left = 0.0f;
    float right = 0.0f;
    int frames = 0;
    bool sounding = false;
};

class Engine {
public:
    // The process-wide engine. Started lazily with the backend chosen by startBackend, or, when
    // nothing was chosen, from BRISKO_AUDIO (default "portaudio").
    static Engine& instance();

    // Chooses and starts the output backend. SPEC is one of:
    //   "portaudio"            the default output device
    //   "portaudio:NAME"       the output device called NAME
    //   "file:PATH.wav"        writes the master mix to a 16-bit stereo WAV, paced in real time
    //   "null"                 silent, paced in real time (1024-frame periods); sleeps while
    //                          nothing sounds and nothing is recorded
    //   "null:PERIOD"          the same with PERIOD-frame periods (16..8192), for benchmarks
    //   "manual[:RATE]"        tests: nothing runs until renderManual() is called (default 48000)
    // When the device cannot be opened the engine falls back to "null" and returns false with a
    // message in *message (said once by the caller). Replaces a running backend.
    bool startBackend(const std::string& spec, std::string* message = nullptr);
    // The spec of the running backend ("null" after a fallback).
    std::string backendSpec() const;
    // The message of the last backend start that fell back or failed ("" when none).
    std::string backendMessage() const;
    // Output device names PortAudio offers, for "--audio=list".
    static std::vector<std::string> listDevices();
    // Stops the backend (finalising a WAV file), closes every voice and ends the recording with
    // its final header. Called at exit.
    void shutdown();

    // The cue output, a second stream beside the air's with a callback of its own that mixes
    // only the voices on the cue bus. SPEC takes the forms of startBackend but "manual" (tests;
    // renderCueManual), and "split": the air device carries the air (both channels summed) on
    // its left and the cue on its right, while the recording keeps the air in stereo. "" sets
    // none: voices on the cue bus go back to the air, stopped. A device that cannot be used is
    // replaced by the silent output and the reason kept (health().cueBackendMessage); the air is
    // never touched. Without a call, BRISKO_CUE is read when the engine starts.
    bool startCueOutput(const std::string& spec, std::string* message = nullptr);
    bool hasCueOutput() const;
    std::string cueSpec() const;

    // Records the master mix beside whatever output runs: a 16-bit stereo WAV at the output
    // rate, written by a thread of its own from a FIFO the output callback fills. A recording
    // that would pass the format's 4 GiB (or the process's file-size limit) goes on in
    // NAME-002.wav, NAME-003.wav, ... Failures (full disk, write errors, lost sound) reach
    // health(). False and *error when PATH cannot be created. Replaces a running recording.
    bool startRecording(const std::string& path, std::string* error = nullptr);
    // Ends the recording: what is left is written and the header made final.
    void stopRecording();
    // The files of the recording so far, in order (empty when none runs).
    std::vector<std::string> recordingFiles() const;
    // Tests: the most data per recording file, instead of 4 GiB.
    void setRecordingFileLimit(int64_t bytes);

    // Opens a file for playback. Prepares its first moments of sound so that play() is heard in
    // the very next output period. Returns -1 and sets *error on failure (missing, unreadable,
    // not decodable, no audio stream).
    VoiceId open(const std::string& path, std::string* error);
    // Opens a voice on SOURCE (see PcmSource.h), played like a file: the same commands, exact
    // positions, and the source read on the voice's own thread. Refuses (-1, *error) a source
    // whose rate is below 1000 or whose length is unknown. Reads the first moments before it
    // returns, so it blocks as long as the source's first reads do.
    VoiceId openSource(std::unique_ptr<PcmSource> source, std::string* error);
    void close(VoiceId voice);
    void closeAll();
    bool isOpen(VoiceId voice) const;

    // Exact length of the decoded sound, in sample frames of the source rate and in milliseconds
    // (floor). May wait for this voice's length scan (run at once on the calling thread when it
    // has not started yet), never for another voice's; never an estimate. -1 if unknown.
    int64_t lengthFrames(VoiceId voice);
    int64_t lengthMs(VoiceId voice);
    // The length in milliseconds as far as it is known now, without waiting. Once the exact length
    // is known (counted, or stated exactly at open), that length and *EXACT true; -1 with *EXACT
    // true when the count found none. While the count runs, *EXACT false and the header's
    // estimate of the length, which may be off either way, or -1 when the header gives none.
    int64_t lengthMsNow(VoiceId voice, bool* exact) const;
    // Tests: while held, the background thread starts no length count, so a test can act while
    // a count has not run; a command that waits for a length still counts it at once.
    void holdLengthScans(bool hold);
    int sourceRate(VoiceId voice) const;

    // Media-time position in milliseconds (floor of source frames played × 1000 / rate). After a
    // voice has played to its end the position equals lengthMs exactly. -1 for a closed voice.
    int64_t positionMs(VoiceId voice) const;
    VoiceMode mode(VoiceId voice) const;
    // The lock-free read handle of an open voice; null when VOICE is not open.
    std::shared_ptr<const VoiceProbe> probe(VoiceId voice) const;

    // Plays from FROM to TO milliseconds of media time. from < 0: the current position;
    // to < 0: the end. Returns false (and sets *error) for out-of-range values. On reaching TO the
    // voice stops with its position at TO.
    bool play(VoiceId voice, int64_t fromMs, int64_t toMs, std::string* error = nullptr);
    void pause(VoiceId voice);   // keeps position; mode Paused
    void resume(VoiceId voice);  // continues a paused voice; no gap, no repeat
    void stop(VoiceId voice);    // keeps position; mode Stopped
    // Moves to MS (sample-exact: the first frame at or after MS, so the position then reads MS)
    // and stops. Clamped to the length.
    bool seek(VoiceId voice, int64_t ms, std::string* error = nullptr);

    // Volume per side on the channel scale 0..1000 (1000 = unity, 0 = silence), mapped to gain on
    // a perceptual taper.
    void setVolume(VoiceId voice, int left, int right);
    int volumeLeft(VoiceId voice) const;
    int volumeRight(VoiceId voice) const;
    // Speed: 1000 = normal. Varispeed: pitch and tempo change together; positions stay media time.
    void setSpeed(VoiceId voice, int speed);
    int speed(VoiceId voice) const;
    // Routes VOICE to BUS. A voice that sounds is stopped first (it keeps its position). False
    // for the cue bus while no cue output is set, and for a voice that is not open.
    bool setBus(VoiceId voice, Bus bus);
    Bus bus(VoiceId voice) const;

    EngineStats stats() const;
    EngineHealth health() const;
    // Why VOICE's sound ended early ("" when it did not), and its underruns so far.
    std::string voiceError(VoiceId voice) const;
    uint64_t voiceUnderruns(VoiceId voice) const;

    // Manual backend only: mixes FRAMES frames of interleaved stereo float into OUT exactly as the
    // output callback would. Before mixing it waits (outside the mixer) until every playing voice
    // has enough decoded sound ready, so tests are deterministic.
    void renderManual(float* out, int frames);
    // The same for a manual cue output (startCueOutput("manual")).
    void renderCueManual(float* out, int frames);

    // The air mix's periods since *CURSOR (0 at first), at most the last 8192
    // (a window that polls them on its clock tick may be held up for seconds), appended to OUT;
    // *CURSOR then stands after them. Lock-free: the callback only stores each period's peaks.
    void airPeaks(uint64_t* cursor, std::vector<MixPeak>* out) const;

    // Gain for a channel-scale volume 0..1000 (exposed for tests and the mixer).
    static float gainForVolume(int volume);

    ~Engine();

private:
    Engine();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace brisko::audio
