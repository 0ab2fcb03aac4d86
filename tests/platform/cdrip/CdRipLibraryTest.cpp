// libcdrip over disc images: table of contents, byte-exact rips, parameters kept in cdrip.ini,
// and images that are missing, short, malformed or taken away during a rip.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/cdrip/CdRip.h"
#include "tests/platform/cdrip/DiscImages.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

namespace brisko::test {
namespace {

class CdRipLibraryTest : public ::testing::Test {
protected:
    // Initialises the library with an ini listing CUES; returns the index of the first image.
    int32_t init(const std::vector<std::string>& cues, const std::string& extra = "") {
        writeCdRipIni(ini(), cues, extra);
        EXPECT_EQ(CR_OK, CR_Init(ini().c_str()));
        const int32_t first = CR_GetNumCDROM() - static_cast<int32_t>(cues.size());
        EXPECT_GE(first, 0);
        return first;
    }
    std::string ini() const { return dir.file("cdrip.ini"); }

    // Rips sectors [start, end) of the active drive; returns the bytes, or the failing code.
    std::string rip(int32_t start, int32_t end, int32_t* failure = nullptr, int chunksBeforeHook = -1,
                    void (*hook)(const std::string&) = nullptr, const std::string& hookArg = "") {
        int32_t size = 0;
        int32_t code = CR_OpenRipper(&size, start, end);
        if (code != CR_OK) {
            if (failure) *failure = code;
            return {};
        }
        std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
        std::string out;
        int chunks = 0;
        for (;;) {
            if (chunks++ == chunksBeforeHook && hook) hook(hookArg);
            int32_t bytes = 0;
            int32_t abort = 0;
            code = CR_RipChunk(buffer.data(), &bytes, &abort);
            EXPECT_LE(bytes, size);
            if (code != CR_OK && code != CR_RIP_COMPLETE) break;
            out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(bytes));
            if (code == CR_RIP_COMPLETE) break;
        }
        if (failure) *failure = code == CR_RIP_COMPLETE ? CR_OK : code;
        EXPECT_EQ(code == CR_RIP_COMPLETE ? 100 : CR_GetPercentCompleted(), CR_GetPercentCompleted());
        CR_CloseRipper();
        return out;
    }

    TempDir dir{"cdrip-lib"};
};

TEST_F(CdRipLibraryTest, ImageReadsAsADiscAndRipsByteExact) {
    const DiscImage disc = makeToneDisc(dir.path(), "three", {1.3, 0.7, 2.01});
    const int32_t drive = init({disc.cue});
    ASSERT_EQ(CR_OK, CR_SetActiveCDROM(drive));
    CR_CdromParameters params{};
    ASSERT_EQ(CR_OK, CR_GetCDROMParameters(&params));
    EXPECT_STREQ("three.cue (image)", params.id);
    EXPECT_EQ(1, CR_IsUnitReady());

    ASSERT_EQ(CR_OK, CR_ReadToc());
    ASSERT_EQ(3, CR_GetNumTocEntries());
    for (int32_t i = 0; i <= 3; ++i) {
        const CR_TocEntry e = CR_GetTocEntry(i);
        EXPECT_EQ(disc.startSectors[static_cast<std::size_t>(i)], e.startSector) << i;
        if (i < 3) {
            EXPECT_EQ(i + 1, e.trackNumber);
            EXPECT_EQ(0, e.entryType);
        }
    }
    // Every track, and a range across a track boundary, come back exactly as written.
    for (std::size_t t = 0; t < 3; ++t) {
        EXPECT_EQ(disc.trackAudio[t], rip(disc.startSectors[t], disc.startSectors[t + 1])) << "track " << t + 1;
    }
    const std::string across = rip(disc.startSectors[1] - 5, disc.startSectors[1] + 5);
    EXPECT_EQ(disc.trackAudio[0].substr(disc.trackAudio[0].size() - 5 * 2352) + disc.trackAudio[1].substr(0, 5 * 2352),
              across);
    // Without jitter correction the plain read gives the same bytes.
    params.driveTable.readMethod = 1;
    ASSERT_EQ(CR_OK, CR_SetCDROMParameters(&params));
    EXPECT_EQ(disc.trackAudio[2], rip(disc.startSectors[2], disc.startSectors[3]));
    EXPECT_EQ(0, CR_GetNumberOfJitterErrors());

    // A range past the lead-out or backwards is refused; an empty range completes at once.
    int32_t size = 0;
    EXPECT_EQ(CR_ERROR, CR_OpenRipper(&size, 0, disc.startSectors[3] + 1));
    EXPECT_EQ(CR_ERROR, CR_OpenRipper(&size, 10, 5));
    int32_t failure = -7;
    EXPECT_EQ("", rip(4, 4, &failure));
    EXPECT_EQ(CR_OK, failure);
}

std::string notReadyReason() {
    std::string text(static_cast<std::size_t>(CR_GetNotReadyReason(nullptr, 0)), '\0');
    CR_GetNotReadyReason(text.data(), static_cast<int32_t>(text.size()) + 1);
    return text;
}

TEST_F(CdRipLibraryTest, BadImagesAreDrivesWithoutADiscAndSayWhy) {
    const DiscImage good = makeToneDisc(dir.path(), "good", {0.5});
    const DiscImage noBin = makeToneDisc(dir.path(), "nobin", {0.5});
    ::unlink(noBin.bin.c_str());
    const DiscImage emptyBin = makeToneDisc(dir.path(), "emptybin", {0.5});
    ASSERT_EQ(0, ::truncate(emptyBin.bin.c_str(), 0));
    const DiscImage shortBin = makeToneDisc(dir.path(), "short", {1.0, 1.0});
    ASSERT_EQ(0, ::truncate(shortBin.bin.c_str(), 2352 * 30));  // ends inside track 1
    const std::string garbage = dir.file("garbage.cue");
    writeFile(garbage, "FILE \"good.bin\" BINARY\r\nTRACK xx AUDIO\r\n  INDEX 01 99:99:99\r\nREM \x01\x02\r\n");
    const std::string noise = dir.file("noise.cue");
    writeFile(noise, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const std::string backwards = dir.file("backwards.cue");
    writeFile(backwards, "FILE \"good.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:30\r\n"
                         "  TRACK 02 AUDIO\r\n    INDEX 01 00:00:10\r\n");
    const std::string empty = dir.file("empty.cue");
    writeFile(empty, "");
    const std::string folder = dir.file("folder.cue");
    ::mkdir(folder.c_str(), 0755);
    const std::string missing = dir.file("missing.cue");
    // Each image, and what the operator is told: the file at fault, by its path.
    const std::vector<std::pair<std::string, std::string>> images = {
        {good.cue, ""},
        {missing, "The disc image " + missing + " does not exist."},
        {noBin.cue, "The data file " + noBin.bin + " of the disc image " + noBin.cue + " does not exist."},
        {emptyBin.cue, "The data file " + emptyBin.bin + " of the disc image " + emptyBin.cue + " is empty."},
        {shortBin.cue, "The data file " + shortBin.bin + " of the disc image " + shortBin.cue + " ends inside track 1."},
        {garbage, "The disc image " + garbage + " is not a cue sheet that can be read."},
        {noise, "The disc image " + noise + " is not a cue sheet: it names no data file."},
        {backwards, "The disc image " + backwards + " is not a cue sheet that can be read."},
        {empty, "The disc image " + empty + " is not a cue sheet: it names no data file."},
        {folder, "The disc image " + folder + " is a folder, not a cue sheet."},
    };
    std::vector<std::string> cues;
    for (const auto& image : images) cues.push_back(image.first);
    const int32_t first = init(cues);

    for (std::size_t i = 0; i < images.size(); ++i) {
        SCOPED_TRACE(images[i].first);
        ASSERT_EQ(CR_OK, CR_SetActiveCDROM(first + static_cast<int32_t>(i)));
        const bool ready = CR_IsUnitReady() != 0;
        EXPECT_EQ(images[i].second, notReadyReason());
        const int32_t code = CR_ReadToc();
        EXPECT_EQ(images[i].second, notReadyReason());
        if (i == 0) {
            EXPECT_TRUE(ready);
            EXPECT_EQ(CR_OK, code);
            continue;
        }
        EXPECT_FALSE(ready);
        EXPECT_NE(CR_OK, code);
        EXPECT_EQ(0, CR_GetNumTocEntries());
        int32_t size = 0;
        EXPECT_NE(CR_OK, CR_OpenRipper(&size, 0, 1));
    }
    // The text is cut to the caller's buffer, and is the drive's own.
    ASSERT_EQ(CR_OK, CR_SetActiveCDROM(first + 1));
    CR_IsUnitReady();
    char small[8];
    EXPECT_EQ(static_cast<int32_t>(images[1].second.size()), CR_GetNotReadyReason(small, sizeof small));
    EXPECT_STREQ("The dis", small);
    ASSERT_EQ(CR_OK, CR_SetActiveCDROM(first));
    EXPECT_EQ("", notReadyReason());
}

TEST_F(CdRipLibraryTest, ImageCutShortOffersTheTracksThatAreWhole) {
    // Cut inside track 2 of 3: track 1 is offered, ending where track 2 began, and rips whole.
    const DiscImage disc = makeToneDisc(dir.path(), "cut", {1.0, 1.0, 1.0});
    ASSERT_EQ(0, ::truncate(disc.bin.c_str(), (disc.startSectors[1] + 30) * 2352 + 1000));
    ASSERT_EQ(CR_OK, CR_SetActiveCDROM(init({disc.cue})));
    EXPECT_EQ(1, CR_IsUnitReady());
    ASSERT_EQ(CR_OK, CR_ReadToc());
    ASSERT_EQ(1, CR_GetNumTocEntries());
    EXPECT_EQ(disc.startSectors[0], CR_GetTocEntry(0).startSector);
    EXPECT_EQ(disc.startSectors[1], CR_GetTocEntry(1).startSector);
    EXPECT_EQ(disc.trackAudio[0], rip(disc.startSectors[0], disc.startSectors[1]));

    // The player's own handle sees the same table.
    CR_Disc* player = CR_DiscOpen(ini().c_str(), CR_GetNumCDROM() - 1);
    ASSERT_NE(nullptr, player);
    CR_TocEntry entries[4];
    EXPECT_EQ(1, CR_DiscReadToc(player, entries, 4));
    EXPECT_EQ(disc.startSectors[1], entries[1].startSector);
    CR_DiscClose(player);
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }
void shrinkFile(const std::string& path) { ASSERT_EQ(0, ::truncate(path.c_str(), 2352 * 10)); }

TEST_F(CdRipLibraryTest, ImageTakenAwayDuringARipFailsTheRip) {
    const DiscImage disc = makeToneDisc(dir.path(), "away", {3.0});
    const int32_t drive = init({disc.cue});
    ASSERT_EQ(CR_OK, CR_SetActiveCDROM(drive));
    for (auto hook : {&removeFile, &shrinkFile}) {
        makeToneDisc(dir.path(), "away", {3.0});
        int32_t failure = CR_OK;
        const std::string bytes = rip(0, disc.startSectors[1], &failure, 2, hook, disc.bin);
        EXPECT_EQ(CR_ERROR, failure);
        EXPECT_LT(bytes.size(), disc.trackAudio[0].size());
        EXPECT_EQ(disc.trackAudio[0].substr(0, bytes.size()), bytes);
        if (hook == &removeFile) {
            EXPECT_EQ(0, CR_IsUnitReady());
        }
    }
}

TEST_F(CdRipLibraryTest, ParametersAreKeptInTheSettingsFile) {
    const DiscImage a = makeToneDisc(dir.path(), "a", {0.2});
    const DiscImage b = makeToneDisc(dir.path(), "b", {0.2});
    const int32_t first = init({a.cue, b.cue}, "; a comment the library keeps\r\n[Other]\r\nKey=Value\r\n");
    ASSERT_EQ(CR_OK, CR_SetActiveCDROM(first + 1));
    CR_CdromParameters p{};
    ASSERT_EQ(CR_OK, CR_GetCDROMParameters(&p));
    p.readSectors = 13;
    p.retries = 7;
    p.driveTable.driveType = 14;
    p.blockCompare = -5;                      // out of range: kept within bounds
    std::memcpy(p.id, "renamed", 8);          // the identifier is the library's
    p.reserved352[100] = 0x5A;                // passed through
    ASSERT_EQ(CR_OK, CR_SetCDROMParameters(&p));
    EXPECT_STREQ("b.cue (image)", p.id);
    EXPECT_EQ(1, p.blockCompare);
    CR_CdromParameters back{};
    ASSERT_EQ(CR_OK, CR_GetCDROMParameters(&back));
    EXPECT_EQ(0x5A, back.reserved352[100]);

    // A fresh start reads them back for that drive only; the file keeps what it had.
    ASSERT_EQ(CR_OK, CR_Init(ini().c_str()));
    ASSERT_EQ(CR_OK, CR_SetActiveCDROM(first + 1));
    ASSERT_EQ(CR_OK, CR_GetCDROMParameters(&back));
    EXPECT_EQ(13, back.readSectors);
    EXPECT_EQ(7, back.retries);
    EXPECT_EQ(14, back.driveTable.driveType);
    ASSERT_EQ(CR_OK, CR_SetActiveCDROM(first));
    ASSERT_EQ(CR_OK, CR_GetCDROMParameters(&back));
    EXPECT_EQ(26, back.readSectors);
    const std::string text = readFile(ini());
    EXPECT_NE(std::string::npos, text.find("; a comment the library keeps"));
    EXPECT_NE(std::string::npos, text.find("Key=Value"));
    EXPECT_NE(std::string::npos, text.find("Image2=" + b.cue));

    // A chunk is the drive's read-sector count.
    ASSERT_EQ(CR_OK, CR_SetActiveCDROM(first + 1));
    int32_t size = 0;
    ASSERT_EQ(CR_OK, CR_OpenRipper(&size, 0, 1));
    EXPECT_EQ(13 * 2352, size);
    CR_CloseRipper();

    // A settings file that cannot be written: the values hold for this run, the code says so.
    ASSERT_EQ(0, ::mkdir((ini() + ".tmp").c_str(), 0755));  // where the new file would be written
    ASSERT_EQ(CR_OK, CR_GetCDROMParameters(&p));
    p.readSectors = 11;
    EXPECT_EQ(CR_FILE_OPEN_ERROR, CR_SetCDROMParameters(&p));
    ASSERT_EQ(CR_OK, CR_GetCDROMParameters(&back));
    EXPECT_EQ(11, back.readSectors);
    EXPECT_EQ(text, readFile(ini())) << "the old file stays whole";
}

TEST_F(CdRipLibraryTest, ImageCommandChecksItsInput) {
    const std::string tool = BRISKO_CDIMAGE_TOOL;
    ToneSpec mono;
    mono.channels = 1;
    writeToneWav(dir.file("mono.wav"), mono);
    writeToneWav(dir.file("ok.wav"), ToneSpec{});
    writeFile(dir.file("text.wav"), "not a wav at all");
    auto run = [&](const std::string& args) {
        return std::system((tool + " " + args + " 2>/dev/null").c_str());
    };
    EXPECT_NE(0, run(dir.file("x.cue") + " " + dir.file("mono.wav")));
    EXPECT_NE(0, run(dir.file("x.cue") + " " + dir.file("ok.wav") + " " + dir.file("text.wav")));
    EXPECT_NE(0, run(dir.file("x.cue")));
    EXPECT_NE(0, ::access(dir.file("x.bin").c_str(), F_OK)) << "a failed image leaves nothing behind";
    EXPECT_EQ(0, run(dir.file("x.cue") + " " + dir.file("ok.wav") + " " + dir.file("ok.wav")));
    EXPECT_EQ(std::string("FILE \"x.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
                          "  TRACK 02 AUDIO\r\n    INDEX 01 00:01:00\r\n"),
              readFile(dir.file("x.cue")));
}

}  // namespace
}  // namespace brisko::test
