// cMp3Writer: the file holds exactly what was written, and every failure (bad size, closed file,
// missing folder, full disk) is its numbered error rather than a short file reported as written.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "encoder/cMp3Writer.h"
#include "platform/common/NumberedError.h"
#include "tests/encoder/Mp3Check.h"
#include "tests/support/TempDir.h"

using brisko::NumberedError;
using namespace brisko::test;

namespace {

int writeError(cMp3Writer& writer, int64_t bytes, std::string* source = nullptr) {
    try {
        writer.WriteBufferToFile(bytes);
    } catch (const NumberedError& e) {
        if (source) *source = e.source();
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(Mp3Writer, FileHoldsExactlyTheBytesWrittenAndMisuseIsRefused) {
    TempDir dir;
    const std::string path = dir.file("out.mp3");
    writeFile(path, "old contents that must go");
    cMp3Writer writer;
    writer.setBufferSize(16384);
    writer.setFilename(path);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);  // emptied at once
    std::memcpy(writer.BufferPointer(), "abcdef", 6);
    EXPECT_EQ(writer.WriteBufferToFile(6), 6);
    EXPECT_EQ(writer.WriteBufferToFile(0), 0);
    EXPECT_EQ(writer.WriteBufferToFile(3), 3);
    std::string source;
    EXPECT_EQ(writeError(writer, 16385, &source), 29873);
    EXPECT_EQ(source, "brisko.WriteBufferToFile");
    EXPECT_TRUE(writer.CloseFile());
    EXPECT_EQ(readFile(path), "abcdefabc");
    EXPECT_EQ(writeError(writer, 1), 29874);

    try {
        writer.setFilename(dir.file("no/such/folder/x.mp3"));
        ADD_FAILURE() << "opened a file in a missing folder";
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.number(), 29872);
        EXPECT_EQ(e.source(), "brisko.OpenFile");
        EXPECT_EQ(e.description(), "Unable to open file for writing");
    }
    EXPECT_EQ(writer.Filename(), dir.file("no/such/folder/x.mp3"));
    EXPECT_EQ(writeError(writer, 1), 29874);
}

TEST(Mp3Writer, FullDiskIsAWriteError) {
    TempDir dir;
    int number = 0;
    {
        FileSizeLimit limit(10000);
        ASSERT_TRUE(limit.active());
        cMp3Writer writer;
        writer.setBufferSize(4096);
        writer.setFilename(dir.file("full.mp3"));
        for (int k = 0; k < 10 && number == 0; ++k) number = writeError(writer, 4096);
    }
    EXPECT_EQ(number, 29875);
}
