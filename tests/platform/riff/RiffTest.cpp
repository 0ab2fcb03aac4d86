// The RIFF layer: chunks written with createChunk/ascend read back with descend, sizes and padding
// fixed on ascend, searches bounded by the parent chunk, and malformed files refused.
#include <gtest/gtest.h>

#include <string>

#include "platform/riff/Riff.h"
#include "tests/support/TempDir.h"

using namespace brisko::riff;
using brisko::test::TempDir;

namespace {

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int k = 0; k < 4; ++k) s[k] = static_cast<char>(v >> (8 * k));
    return s;
}

std::string chunk(const std::string& id, const std::string& data) {
    return id + le32(static_cast<uint32_t>(data.size())) + data + (data.size() % 2 ? std::string(1, '\0') : "");
}

}  // namespace

TEST(Riff, WrittenFormReadsBackWithSizesAndPadding) {
    TempDir dir;
    const std::string path = dir.file("w.wav");
    {
        RiffFile out;
        ASSERT_TRUE(out.open(path, Mode::Create));
        Chunk riff{.id = fourCC("RIFF"), .formType = fourCC("WAVE")};
        ASSERT_TRUE(out.createChunk(riff));
        Chunk odd{.id = fourCC("odd")};
        ASSERT_TRUE(out.createChunk(odd));
        ASSERT_EQ(out.write("abc", 3), 3);
        ASSERT_TRUE(out.ascend(odd));
        EXPECT_EQ(odd.size, 3u);
        Chunk data{.id = fourCC("data")};
        ASSERT_TRUE(out.createChunk(data));
        ASSERT_EQ(out.write("0123456789", 10), 10);
        ASSERT_TRUE(out.ascend(data));
        ASSERT_TRUE(out.ascend(riff));
        ASSERT_TRUE(out.close());
    }
    const std::string expected =
        "RIFF" + le32(4 + 12 + 18) + "WAVE" + chunk("odd ", "abc") + chunk("data", "0123456789");
    EXPECT_EQ(brisko::test::readFile(path), expected);

    RiffFile in;
    ASSERT_TRUE(in.open(path, Mode::Read));
    Chunk riff{.formType = fourCC("WAVE")};
    ASSERT_TRUE(in.descend(riff, nullptr, Find::RiffForm));
    EXPECT_EQ(in.tell(), 12);
    Chunk data{.id = fourCC("data")};
    ASSERT_TRUE(in.descend(data, &riff, Find::ChunkId));  // skips "odd " and its padding byte
    EXPECT_EQ(data.size, 10u);
    EXPECT_EQ(in.tell(), data.dataOffset);
    char bytes[10];
    ASSERT_EQ(in.read(bytes, 10), 10);
    EXPECT_EQ(std::string(bytes, 10), "0123456789");
    EXPECT_EQ(in.read(bytes, 10), 0);  // end of file is not an error
}

TEST(Riff, SearchStaysInsideItsParentAndAfterThePosition) {
    TempDir dir;
    const std::string path = dir.file("x.wav");
    // A "data" chunk before "fmt " and one outside the RIFF form: neither is found after "fmt ".
    const std::string form = "WAVE" + chunk("data", "zz") + chunk("LIST", "INFOabcd") + chunk("fmt ", "12345");
    brisko::test::writeFile(path, "RIFF" + le32(static_cast<uint32_t>(form.size())) + form + chunk("data", "yy"));

    RiffFile in;
    ASSERT_TRUE(in.open(path, Mode::Read));
    Chunk riff{.formType = fourCC("WAVE")};
    ASSERT_TRUE(in.descend(riff, nullptr, Find::RiffForm));
    Chunk list{.formType = fourCC("INFO")};
    ASSERT_TRUE(in.descend(list, &riff, Find::ListForm));
    EXPECT_EQ(list.id, fourCC("LIST"));
    ASSERT_TRUE(in.ascend(list));
    Chunk fmt{.id = fourCC("fmt ")};
    ASSERT_TRUE(in.descend(fmt, &riff, Find::ChunkId));
    EXPECT_EQ(fmt.size, 5u);
    ASSERT_TRUE(in.ascend(fmt));  // skips the padding of the odd size
    EXPECT_EQ(in.tell(), 12 + static_cast<int64_t>(form.size()) - 4);
    Chunk data{.id = fourCC("data")};
    const int64_t before = in.tell();
    EXPECT_FALSE(in.descend(data, &riff, Find::ChunkId));
    EXPECT_EQ(in.tell(), before);  // a failed search leaves the position where it was
    EXPECT_FALSE(in.error().empty());
}

TEST(Riff, MalformedFilesAreRefused) {
    TempDir dir;
    RiffFile in;
    EXPECT_FALSE(in.open(dir.file("missing.wav"), Mode::Read));
    EXPECT_FALSE(in.error().empty());

    brisko::test::writeFile(dir.file("text.wav"), "just some text, not RIFF at all");
    ASSERT_TRUE(in.open(dir.file("text.wav"), Mode::Read));
    Chunk riff{.formType = fourCC("WAVE")};
    EXPECT_FALSE(in.descend(riff, nullptr, Find::RiffForm));

    // A RIFF header cut short after its size field, and an AVI form instead of WAVE.
    brisko::test::writeFile(dir.file("short.wav"), "RIFF" + le32(100));
    ASSERT_TRUE(in.open(dir.file("short.wav"), Mode::Read));
    EXPECT_FALSE(in.descend(riff, nullptr, Find::RiffForm));
    brisko::test::writeFile(dir.file("avi.wav"), "RIFF" + le32(4) + "AVI ");
    ASSERT_TRUE(in.open(dir.file("avi.wav"), Mode::Read));
    EXPECT_FALSE(in.descend(riff, nullptr, Find::RiffForm));
}
