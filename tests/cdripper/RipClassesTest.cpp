// The ripping classes over libcdrip and generated images: TOC figures and the CDDB identifier,
// drive parameters, and a track ripped chunk by chunk equal to the image's bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include "cdripper/cCDRip.h"
#include "cdripper/cCDTrackRipper.h"
#include "cdripper/mCDRip.h"
#include "tests/cdripper/RipFixture.h"

namespace brisko::cdripper {
namespace {

using test::DiscImage;

TEST(TocFiguresTest, WorkedExampleAndTimes) {
    // Two tracks at sectors 0 and 15000, lead-out at 30000.
    cToc toc;
    toc.build(0, {CR_TocEntry{0, 0, 1, {}}, CR_TocEntry{15000, 0, 2, {}}, CR_TocEntry{30000, 0, 0xAA, {}}});
    EXPECT_EQ(2, toc.Count());
    EXPECT_EQ(30150, toc.TotalLengthSectors());
    EXPECT_EQ(402, toc.TotalLengthSeconds());
    EXPECT_EQ(0x06019002, toc.CDDBId());
    EXPECT_EQ("cddb query 6019002 2 150 15150 402", toc.CDDBQuery());
    EXPECT_EQ("0:02.00", toc.Entry(1).FormattedStartTime());
    EXPECT_EQ(15000 * 2352, toc.Entry(1).SizeBytes());
    EXPECT_EQ(15000, toc.Entry(2).EndSector() - toc.Entry(2).StartSector());
    EXPECT_THROW(toc.Entry(3), NumberedError);
    EXPECT_THROW(toc.Entry(0), NumberedError);

    const cTocEntry late(0, 33000, 0, 5, 66000);
    EXPECT_EQ("7:22.00", late.FormattedStartTime());
    EXPECT_EQ("7:20.00", late.FormattedLength());
    const cTocEntry odd(0, 0, 0, 1, 4500 * 61 + 75 * 7 + 74);  // 61 min 7 s 74 frames
    EXPECT_EQ("61:07.59", odd.FormattedLength());

    // A sum above 255 wraps, and a long disc pushes a bit into bit 31: the id turns negative and
    // the query shows all eight hex digits.
    std::vector<CR_TocEntry> many;
    for (int i = 0; i < 99; ++i) many.push_back(CR_TocEntry{i * 4500 + 4499, 0, static_cast<uint8_t>(i + 1), {}});
    many.push_back(CR_TocEntry{99 * 4500 + 4499, 0, 0xAA, {}});
    toc.build(0, many);
    EXPECT_EQ(99, toc.CDDBId() & 0xFF);
    const std::string query = toc.CDDBQuery();
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<uint32_t>(toc.CDDBId()));
    EXPECT_EQ(0u, query.find(std::string("cddb query ") + hex + " 99 "));

    toc.build(0, {});
    EXPECT_EQ(0, toc.Count());
}

TEST_F(RipFixture, DrivesAndTocOfAnImage) {
    const DiscImage disc = test::makeToneDisc(dir.path(), "disc", {2.0, 1.0, 0.5});
    cCDRip& lib = library({disc.cue});
    const int32_t index = lib.CDDriveCount();  // the image is the last drive
    cDrive drive = lib.CDDrive(index);
    EXPECT_EQ("disc.cue (image)", drive.Name());
    EXPECT_TRUE(drive.IsUnitReady());
    const cToc toc = drive.TOC();
    ASSERT_EQ(3, toc.Count());
    EXPECT_EQ(disc.startSectors[3] + 150, toc.TotalLengthSectors());
    for (int32_t i = 1; i <= 3; ++i) {
        EXPECT_EQ(i, toc.Entry(i).TrackNumber());
        EXPECT_EQ(static_cast<int32_t>(disc.trackAudio[static_cast<std::size_t>(i) - 1].size()), toc.Entry(i).SizeBytes());
    }
    // Tracks start at 2 s, 4 s and 5 s of disc time (digit sum 11), the disc is 5 s long from
    // the first track's start at 2 s (lead-out at 7.5 s), three tracks.
    EXPECT_EQ(0, disc.startSectors[0]);
    EXPECT_EQ(150, disc.startSectors[1]);
    EXPECT_EQ(225, disc.startSectors[2]);
    EXPECT_EQ(0x0b000303, toc.CDDBId());
    EXPECT_EQ("cddb query b000303 3 150 300 375 5", toc.CDDBQuery());

    // An unchanged value does not make Apply write; a changed one is stored and read back.
    drive.setReadSectors(drive.ReadSectors());
    EXPECT_FALSE(drive.dirty());
    drive.Apply();
    EXPECT_EQ(std::string::npos, test::readFile(iniPath()).find("ReadSectors"));
    drive.setReadSectors(10);
    EXPECT_THROW(drive.setRetries(40000), NumberedError);
    drive.Apply();
    EXPECT_FALSE(drive.dirty());
    EXPECT_EQ(10, lib.CDDrive(index).ReadSectors());

    // A second Create is ignored; a library object that was never created refuses.
    lib.Create("/nonexistent/cdrip.ini");
    EXPECT_EQ(10, lib.CDDrive(index).ReadSectors());
    cCDRip fresh;
    try {
        fresh.CDDriveCount();
        FAIL() << "an uninitialised library object must refuse";
    } catch (const NumberedError& e) {
        EXPECT_EQ(29501, e.number());
        EXPECT_EQ("CDRip Not Initialised.", e.description());
        EXPECT_EQ(std::string("brisko") + ".cCDDriveRip.CDDriveCount", e.source());
    }
}

TEST_F(RipFixture, TrackRipperHandsOutTheTrackChunkByChunk) {
    const DiscImage disc = test::makeToneDisc(dir.path(), "rip", {1.0, 0.45});
    cCDRip& lib = library({disc.cue});
    cDrive drive = lib.CDDrive(lib.CDDriveCount());
    drive.setReadSectors(7);
    drive.Apply();
    const cToc toc = drive.TOC();

    cCDTrackRipper ripper;
    EXPECT_FALSE(ripper.Read());  // nothing open
    EXPECT_EQ(0, ripper.ReadBufferSize());
    const uint8_t* firstBuffer = nullptr;
    for (int32_t t = 1; t <= 2; ++t) {
        ripper.CreateForTrack(toc.Entry(t));
        ASSERT_TRUE(ripper.OpenRipper());
        if (firstBuffer == nullptr) firstBuffer = ripper.ReadBufferPtr();
        EXPECT_EQ(firstBuffer, ripper.ReadBufferPtr()) << "one buffer for chunks of the same size";
        std::string got;
        int lastPercent = -1;
        while (ripper.Read()) {
            EXPECT_LE(ripper.ReadBufferSize(), 7 * 2352);
            got.append(reinterpret_cast<const char*>(ripper.ReadBufferPtr()), static_cast<std::size_t>(ripper.ReadBufferSize()));
            EXPECT_GE(ripper.PercentComplete(), lastPercent);
            lastPercent = ripper.PercentComplete();
        }
        EXPECT_EQ(100, lastPercent);
        EXPECT_EQ(0, ripper.ReadBufferSize());
        EXPECT_FALSE(ripper.isOpen());
        EXPECT_EQ(disc.trackAudio[static_cast<std::size_t>(t) - 1], got) << "track " << t;
        EXPECT_TRUE(ripper.CloseRipper());
    }

    // The disc taken away after the rip opened: Read raises the library error and closes.
    ripper.CreateForTrack(toc.Entry(1));
    ASSERT_TRUE(ripper.OpenRipper());
    ASSERT_TRUE(ripper.Read());
    ::unlink(disc.bin.c_str());
    try {
        while (ripper.Read()) {
        }
        FAIL() << "reading a vanished image must raise";
    } catch (const NumberedError& e) {
        EXPECT_EQ(29501, e.number());
        EXPECT_EQ("CDRip Error", e.description());
        EXPECT_EQ(std::string("brisko") + ".cCDTrackRipper.Read", e.source());
    }
    EXPECT_FALSE(ripper.isOpen());
    // Opening it again now fails with the library's file-open code.
    try {
        ripper.OpenRipper();
        FAIL() << "opening a vanished image must raise";
    } catch (const NumberedError& e) {
        EXPECT_EQ(29502, e.number());
    }
}

}  // namespace
}  // namespace brisko::cdripper
