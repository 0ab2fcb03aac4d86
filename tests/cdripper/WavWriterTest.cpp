// cWAVWriter: the 46-byte header and sizes at close, numbered errors for a file that cannot be
// made or written, a full disk, and the finalising of an abandoned file.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <memory>

#include "cdripper/cWAVWriter.h"
#include "platform/common/NumberedError.h"
#include "tests/support/TempDir.h"

namespace brisko::cdripper {
namespace {

uint32_t le32(const std::string& s, std::size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

int errorNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const NumberedError& e) {
        return e.number();
    }
    return 0;
}

TEST(WavWriterTest, HeaderAudioAndSizes) {
    test::TempDir dir("wavwriter");
    const std::string path = dir.file("t.wav");
    std::string audio(3 * 2352 + 4, '\0');
    for (std::size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<char>(i * 7);
    {
        cWAVWriter writer;
        ASSERT_TRUE(writer.OpenFile(path));
        EXPECT_EQ(2352, writer.WriteWavData(audio.data(), 2352));
        EXPECT_EQ(static_cast<int32_t>(audio.size() - 2352), writer.WriteWavData(audio.data() + 2352, static_cast<int32_t>(audio.size() - 2352)));
        writer.CloseFile();
        EXPECT_EQ(29605, errorNumber([&] { writer.WriteWavData(audio.data(), 4); }));
    }
    const std::string file = test::readFile(path);
    ASSERT_EQ(46 + audio.size(), file.size());
    const unsigned char header[38] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
                                      1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0, 4, 0, 16, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(header, file.data(), 4));
    EXPECT_EQ(0, std::memcmp(header + 8, file.data() + 8, 30));
    EXPECT_EQ(file.size() - 8, le32(file, 4));
    EXPECT_EQ("data", file.substr(38, 4));
    EXPECT_EQ(audio.size(), le32(file, 42));
    EXPECT_EQ(audio, file.substr(46));

    // No audio at all is still a valid file; a writer dropped while open finalises its file.
    {
        cWAVWriter writer;
        writer.OpenFile(path);
    }
    const std::string empty = test::readFile(path);
    ASSERT_EQ(46u, empty.size());
    EXPECT_EQ(38u, le32(empty, 4));
    EXPECT_EQ(0u, le32(empty, 42));

    cWAVWriter writer;
    try {
        writer.OpenFile(dir.file("no-such-folder/x.wav"));
        FAIL() << "a missing folder must raise";
    } catch (const NumberedError& e) {
        EXPECT_EQ(29603, e.number());
        EXPECT_EQ("Unable to open file for writing.", e.description());
        EXPECT_EQ("brisko.OpenFile", e.source());
    }
    EXPECT_EQ(29605, errorNumber([&] { writer.WriteWavData(audio.data(), 4); }));
}

// A small tmpfs, mounted for the life of the object when the machine allows it.
class SmallDisk {
public:
    SmallDisk(const std::string& path, const char* options) : path_(path) {
        ::mkdir(path.c_str(), 0755);
        mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, options) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};

TEST(WavWriterTest, FullDiskIsAnErrorNotACompletedFile) {
    test::TempDir dir("wavfull");
    SmallDisk disk(dir.file("disk"), "size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    const std::string chunk(26 * 2352, '\x11');
    cWAVWriter writer;
    ASSERT_TRUE(writer.OpenFile(dir.file("disk/full.wav")));
    const int number = errorNumber([&] {
        for (int i = 0; i < 10; ++i) writer.WriteWavData(chunk.data(), static_cast<int32_t>(chunk.size()));
        writer.CloseFile();
    });
    EXPECT_TRUE(number == 29606 || number == 29601 || number == 29602) << number;
    errorNumber([&] { writer.CloseFile(); });  // may raise again: the disk is still full
    EXPECT_FALSE(writer.isOpen()) << "the writer lets go of the file after an error";
}

}  // namespace
}  // namespace brisko::cdripper
