// Idle CPU: the whole program (console, engine, silent real-time output) with nothing playing,
// and the engine alone with 48 voices open and stopped; CPU time as a share of one core.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/Engine.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

extern char** environ;

using namespace brisko;

namespace {

// User + system CPU seconds of process PID (0: this process).
double cpuSeconds(pid_t pid) {
    std::ifstream f(pid ? "/proc/" + std::to_string(pid) + "/stat" : std::string("/proc/self/stat"));
    std::string field;
    std::vector<std::string> fields;
    std::string line;
    std::getline(f, line);
    const size_t close = line.rfind(')');
    std::string rest = close == std::string::npos ? line : line.substr(close + 2);
    size_t at = 0;
    while (at < rest.size()) {
        const size_t space = rest.find(' ', at);
        fields.push_back(rest.substr(at, space - at));
        if (space == std::string::npos) break;
        at = space + 1;
    }
    // After the name: state is field 0, utime field 11, stime field 12.
    if (fields.size() < 13) return 0;
    return (std::stod(fields[11]) + std::stod(fields[12])) / double(sysconf(_SC_CLK_TCK));
}

int seconds() {
    const char* s = std::getenv("BRISKO_IDLE_SECONDS");
    return s && std::atoi(s) > 0 ? std::atoi(s) : 60;
}

}  // namespace

int main() {
    const int span = seconds();
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3) std::printf("machine load (1, 5, 15 min): %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    test::TempDir dir("brisko-bench-idle");
#ifdef BRISKO_APP
    {
        const std::string home = "BRISKO_HOME=" + dir.file("home");
        std::vector<std::string> env = {home, "QT_QPA_PLATFORM=offscreen", "BRISKO_AUDIO=null"};
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("BRISKO_", 0) != 0 && v.rfind("QT_QPA_PLATFORM=", 0) != 0) env.push_back(v);
        }
        std::vector<char*> envp;
        for (auto& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string program = BRISKO_APP;
        char* argv[] = {program.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
            std::printf("idle program: cannot start %s\n", program.c_str());
        } else {
            std::this_thread::sleep_for(std::chrono::seconds(5));  // start-up done
            const double c0 = cpuSeconds(pid);
            std::this_thread::sleep_for(std::chrono::seconds(span));
            const double used = cpuSeconds(pid) - c0;
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
            // /proc counts CPU time in clock ticks: that is the resolution of the figure.
            std::printf("idle program (console, engine, silent real-time output), %d s: %.3f %% of one core "
                        "(goal: < 0.1 %%; resolution %.3f %%); ended by SIGTERM with exit code %d\n",
                        span, 100.0 * used / span, 100.0 / double(sysconf(_SC_CLK_TCK)) / span,
                        WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        }
    }
#endif
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("manual:48000");  // no output thread: only the engine's own threads
    const std::string tone = dir.file("tone.wav");
    test::writeToneWav(tone, {440.0, 30.0, 44100, 2, 0.5});
    std::vector<audio::VoiceId> voices;
    for (int k = 0; k < 48; ++k) voices.push_back(engine.open(tone, nullptr));
    std::this_thread::sleep_for(std::chrono::seconds(2));  // readers fill their rings, scans end
    const int engineSpan = std::min(span, 20);
    const double c0 = cpuSeconds(0);
    std::this_thread::sleep_for(std::chrono::seconds(engineSpan));
    const double used = cpuSeconds(0) - c0;
    std::printf("idle engine, 48 voices open and stopped, no output, %d s: %.4f %% of one core (goal: < 0.1 %%)\n",
                engineSpan, 100.0 * used / engineSpan);
    engine.shutdown();
    return 0;
}
