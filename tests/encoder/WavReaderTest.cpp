// cWavReader: chunked reading with its true/false rule, the chunk search, seeks, and each
// numbered error for the malformed files an operator may pick.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "encoder/cWavReader.h"
#include "platform/common/NumberedError.h"
#include "tests/encoder/Mp3Check.h"
#include "tests/support/TempDir.h"

using brisko::NumberedError;
using namespace brisko::test;

namespace {

std::string pattern(size_t bytes) {
    std::string s(bytes, '\0');
    for (size_t k = 0; k < bytes; ++k) s[k] = static_cast<char>(k * 7 + k / 251);
    return s;
}

int openError(const std::string& path, std::string* description = nullptr) {
    cWavReader reader;
    try {
        reader.OpenFile(path);
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.source(), "brisko.cWavePlayer");
        EXPECT_EQ(reader.AudioLength(), 0);
        if (description) *description = e.description();
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(WavReader, DeliversTheDataInChunksAndSaysWhenItIsTheLast) {
    TempDir dir;
    const std::string data = pattern(10000);
    // A LIST chunk of odd size between the format and the data is skipped.
    const std::string list = "LIST" + std::string("\x05\0\0\0", 4) + "INFOx" + std::string(1, '\0');
    writeFile(dir.file("a.wav"), wavBytes(2, 16, 22050, data, -1, list));

    cWavReader reader;
    reader.setReadBufferSize(1152);
    reader.setFilename(dir.file("a.wav"));
    EXPECT_EQ(reader.Filename(), dir.file("a.wav"));
    EXPECT_EQ(reader.AudioLength(), 2500);
    std::string delivered;
    std::vector<int64_t> sizes;
    std::vector<bool> results;
    for (int k = 0; k < 3; ++k) {
        results.push_back(reader.Read());
        sizes.push_back(reader.ReadSize());
        delivered.append(reinterpret_cast<const char*>(reader.ReadBufferPtr()), static_cast<size_t>(reader.ReadSize() * 4));
    }
    EXPECT_EQ(results, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(sizes, (std::vector<int64_t>{1152, 1152, 196}));
    EXPECT_EQ(delivered, data);
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 196);  // nothing left: the size stays

    try {
        reader.setReadBufferSize(100);
        ADD_FAILURE() << "buffer size changed while open";
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.number(), 29679);
    }
    EXPECT_EQ(reader.ReadBufferSize(), 1152);

    // Seeks are in frames from the start of the data; the end itself is a valid position.
    reader.SeekAbsolute(2500);
    EXPECT_EQ(reader.BufferStartPosition(), 10000);
    reader.SeekRelative(-2499);
    EXPECT_EQ(reader.BufferStartPosition(), 4);
    EXPECT_TRUE(reader.Read());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.ReadBufferPtr()), 8), data.substr(4, 8));
    for (auto seek : {+[](cWavReader& r) { r.SeekAbsolute(2501); }, +[](cWavReader& r) { r.SeekAbsolute(-1); },
                      +[](cWavReader& r) { r.SeekRelative(-2000); }}) {
        try {
            seek(reader);
            ADD_FAILURE() << "seek out of range accepted";
        } catch (const NumberedError& e) {
            EXPECT_EQ(e.number(), 29678);
            EXPECT_EQ(e.description(), "Position out of range");
        }
    }

    // Exactly one buffer: the first read is the last.
    writeFile(dir.file("b.wav"), wavBytes(2, 16, 44100, pattern(4608)));
    reader.CloseFile();
    reader.setFilename(dir.file("b.wav"));
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 1152);
}

TEST(WavReader, MalformedFilesGiveTheirNumberedErrors) {
    TempDir dir;
    const std::string data = pattern(400);
    struct Case { std::string name, bytes; int number; std::string description; };
    const std::vector<Case> cases = {
        {"mono", wavBytes(1, 16, 44100, data), 29671, "Only stereo 16 bit wave files supported."},
        {"8bit", wavBytes(2, 8, 44100, data), 29671, "Only stereo 16 bit wave files supported."},
        {"24bit", wavBytes(2, 24, 44100, data), 29671, "Only stereo 16 bit wave files supported."},
        {"text", "This is a text file, not a sound at all.", 29673, "Not a Wave file."},
        {"avi", "RIFF" + std::string("\x04\0\0\0", 4) + "AVI ", 29673, "Not a Wave file."},
        {"nofmt", "RIFF" + std::string("\x10\0\0\0", 4) + "WAVEdata" + std::string(4, '\0') + "abcd", 29674,
         "Unable to retrieve format chunk"},
        {"shortfmt", wavBytes(2, 16, 44100, data, -1, "", 12), 29675, "Error reading format"},
        {"nodata", wavBytes(2, 16, 44100, "").substr(0, 38), 29676, "No Wave File Open"},
    };
    for (const Case& c : cases) {
        writeFile(dir.file(c.name), c.bytes);
        std::string description;
        EXPECT_EQ(openError(dir.file(c.name), &description), c.number) << c.name;
        EXPECT_EQ(description, c.description) << c.name;
    }
    EXPECT_EQ(openError(dir.file("missing.wav")), 29672);

    // A "data" chunk before the format chunk is not found.
    const std::string early = "RIFF" + std::string("\x34\0\0\0", 4) + "WAVE" + "data" + std::string("\x04\0\0\0", 4) +
                              "abcd" + wavBytes(2, 16, 44100, "").substr(12, 26);
    writeFile(dir.file("early"), early);
    EXPECT_EQ(openError(dir.file("early")), 29676);

    cWavReader closed;
    EXPECT_FALSE(closed.OpenFile(""));
    try {
        closed.Read();
        ADD_FAILURE() << "read without a file";
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.number(), 29676);
    }
}

TEST(WavReader, DataBeyondTheEndOfTheFileIsReadAsFarAsItGoes) {
    TempDir dir;
    // Declares a million bytes, holds 1000: the reader must neither hang nor invent samples.
    writeFile(dir.file("long.wav"), wavBytes(2, 16, 44100, pattern(1000), 1000000));
    cWavReader reader;
    reader.setReadBufferSize(100);
    reader.setFilename(dir.file("long.wav"));
    EXPECT_EQ(reader.AudioLength(), 250);
    int reads = 0;
    int64_t frames = 0;
    bool more = true;
    while (more && reads < 100) {
        more = reader.Read();
        frames += reader.ReadSize();
        ++reads;
    }
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(frames, 250);

    // A file cut short after it was opened is an error, never a quietly shorter result.
    writeFile(dir.file("cut.wav"), wavBytes(2, 16, 44100, pattern(400000)));
    reader.CloseFile();
    reader.setFilename(dir.file("cut.wav"));
    EXPECT_TRUE(reader.Read());
    std::filesystem::resize_file(dir.file("cut.wav"), 1000);
    try {
        while (reader.Read()) {
        }
        ADD_FAILURE() << "a truncated source read as complete";
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.number(), 29680);
    }
}
