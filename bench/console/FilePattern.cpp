// The library file list's pattern list: building it and matching a folder of names, for lists
// from the default 25 entries up to a megabyte. Goal: the time per name does not grow with the
// length of a list of "*.ext" entries, and a megabyte list is built and applied well under 1 s.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "console/NamePattern.h"
#include "console/Settings.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double loadAverage() {
    std::ifstream in("/proc/loadavg");
    double load = 0;
    in >> load;
    return load;
}

}  // namespace

int main() {
    using brisko::console::NamePattern;
    constexpr int kNames = 5000;
    QStringList names;
    for (int k = 0; k < kNames; ++k)
        names << QStringLiteral("Track %1 - Some Artist.%2").arg(k).arg(k % 3 == 0 ? "mp3" : "flac");

    std::printf("file pattern list: %d names, load average %.2f\n", kNames, loadAverage());
    std::printf("%12s %10s %12s %14s %8s\n", "entries", "bytes", "build ms", "match ns/name", "listed");
    for (const int entries : {25, 1000, 10000, 100000}) {
        QString list = entries == 25 ? brisko::console::defaultFilePattern() : QString();
        for (int k = 0; list.isEmpty() || k < entries - 1; ++k) list += QStringLiteral("*.x%1;").arg(k);
        if (entries != 25) list += QStringLiteral("*.mp3");
        const auto built = std::chrono::steady_clock::now();
        const NamePattern pattern(list);
        const double buildSeconds = secondsSince(built);
        int listed = 0;
        constexpr int kRounds = 20;
        const auto matched = std::chrono::steady_clock::now();
        for (int round = 0; round < kRounds; ++round)
            for (const QString& name : names) listed += pattern.matches(name) ? 1 : 0;
        const double perName = secondsSince(matched) / (kRounds * kNames) * 1e9;
        std::printf("%12d %10lld %12.2f %14.0f %8d\n", entries, static_cast<long long>(list.size()),
                    buildSeconds * 1e3, perName, listed / kRounds);
    }
    std::printf("goal: match time per name flat across list lengths; 1 MB list built < 1000 ms\n");
    return 0;
}
