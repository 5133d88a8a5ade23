// The clipboard-to-BMP writer against the in-memory clipboard.
#include "picture_export/clip_dib.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/dib.h"
#include "tests/picture/picture_test_files.h"
#include "tests/support/fake_platform.h"

namespace varkit {
namespace {

using testing::Bytes;

// Runs the writer with its messages caught in memory.
class ClipDibTest : public ::testing::Test {
  protected:
    ClipDibResult save(const std::string& path,
                       ClipDibCreateFailure on_failure = ClipDibCreateFailure::ReturnsFailure) {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* err = open_memstream(&buffer, &size);
        Runtime rt{stdout, err, clipboard};
        ClipDibResult result = clip_dib_to_file(path, on_failure, rt);
        std::fclose(err);
        messages.assign(buffer, size);
        std::free(buffer);
        return result;
    }
    static Bytes dib_of(int width, int height) {
        DeviceBitmap bitmap{0, width, height, (width + 15) / 16 * 2, 1, 1, {}};
        bitmap.bits.assign(static_cast<std::size_t>(bitmap.row_length * height), 0x5A);
        return synthesize_dib(bitmap);
    }

    testing::FakePlatform clipboard;
    testing::TempDir dir;
    std::string messages;
};

TEST_F(ClipDibTest, WritesTheFileHeaderAndTheWholeBlock) {
    clipboard.dib = dib_of(96, 63);
    std::string path = dir.file("pic.bmp");
    ASSERT_EQ(save(path), ClipDibResult::Saved);
    EXPECT_EQ(messages, "");
    EXPECT_EQ(clipboard.calls, (std::vector<std::string>{"open", "get_dib", "close"}));
    Bytes file = testing::read_file(path);
    Bytes expected = {'B', 'M', 0x32, 0x03, 0, 0, 0,
                      0,   0,   0,    62,   0, 0, 0};  // 818 bytes, rows at 62
    expected.insert(expected.end(), clipboard.dib->begin(), clipboard.dib->end());
    EXPECT_EQ(file, expected);
    EXPECT_EQ(testing::list_dir(dir.path().string()), std::vector<std::string>{"pic.bmp"});

    // A block larger than its bitmap needs is written whole, and counted.
    clipboard.dib->resize(clipboard.dib->size() + 10, 0xEE);
    ASSERT_EQ(save(path), ClipDibResult::Saved);
    file = testing::read_file(path);
    EXPECT_EQ(file.size(), 828u);
    EXPECT_EQ(file[2] | file[3] << 8, 828);
}

// Another program's block: the offset of the rows counts its own header,
// bit-field masks and colour table, as the BMP reader finds them.
TEST_F(ClipDibTest, RowsOffsetOfEveryLayout) {
    struct Case {
        const char* what;
        std::uint32_t header_size;
        std::uint16_t bits_per_pixel;
        std::uint32_t compression;
        std::uint32_t colours_used;
        std::uint32_t rows_offset;
    };
    const Case cases[] = {
        {"8 bits, 6 colours", 40, 8, 0, 6, 14 + 40 + 6 * 4},
        {"24 bits", 40, 24, 0, 0, 14 + 40},
        {"32 bits, bit fields", 40, 32, 3, 0, 14 + 40 + 3 * 4},
        {"32 bits, alpha bit fields", 40, 32, 6, 0, 14 + 40 + 4 * 4},
        {"version 4, bit fields inside", 108, 16, 3, 0, 14 + 108},
        {"OS/2, 1 bit, 3-byte colours", 12, 1, 0, 0, 14 + 12 + 2 * 3},
    };
    for (const Case& c : cases) {
        Bytes dib(c.header_size + 64, 0);
        dib[0] = static_cast<std::uint8_t>(c.header_size);
        const bool core = c.header_size == 12;
        dib[4] = 1;  // 1 x 1 pixels
        dib[core ? 6 : 8] = 1;
        dib[core ? 10 : 14] = static_cast<std::uint8_t>(c.bits_per_pixel);
        if (!core) {
            dib[16] = static_cast<std::uint8_t>(c.compression);
            dib[32] = static_cast<std::uint8_t>(c.colours_used);
        }
        clipboard.dib = dib;
        ASSERT_EQ(save(dir.file("any.bmp")), ClipDibResult::Saved) << c.what;
        Bytes file = testing::read_file(dir.file("any.bmp"));
        EXPECT_EQ(file[10] | file[11] << 8, c.rows_offset) << c.what;
    }
}

TEST_F(ClipDibTest, ClipboardFailuresLeaveAnOlderFileAndNoOther) {
    std::string path = dir.file("old.bmp");
    testing::write_file(path, std::string("older"));

    ASSERT_EQ(save(path), ClipDibResult::Failed);  // the clipboard holds no bitmap
    EXPECT_EQ(messages, "Error: Unable to get clipboard data.\n");
    EXPECT_EQ(clipboard.calls, (std::vector<std::string>{"open", "get_dib", "close"}));

    clipboard.calls.clear();
    clipboard.fail_open = true;
    clipboard.dib = dib_of(8, 1);
    ASSERT_EQ(save(path), ClipDibResult::Failed);
    EXPECT_EQ(messages, "Error: Unable to open clipboard.\n");
    EXPECT_EQ(clipboard.calls, std::vector<std::string>{"open"});

    EXPECT_EQ(testing::read_file(path), Bytes({'o', 'l', 'd', 'e', 'r'}));
    EXPECT_EQ(testing::list_dir(dir.path().string()), std::vector<std::string>{"old.bmp"});
}

// Picture export and rich text export end their run when the file cannot be
// created; picture import goes on. The clipboard is not touched.
TEST_F(ClipDibTest, AFileThatCannotBeCreated) {
    clipboard.dib = dib_of(8, 1);
    std::string missing_folder = dir.file("none/pic.bmp");
    EXPECT_EQ(save(missing_folder, ClipDibCreateFailure::EndsRun), ClipDibResult::EndRun);
    EXPECT_EQ(messages, "Can't open file \"" + missing_folder + "\".\n");
    EXPECT_EQ(save(missing_folder, ClipDibCreateFailure::ReturnsFailure), ClipDibResult::Failed);
    EXPECT_EQ(save("", ClipDibCreateFailure::EndsRun), ClipDibResult::EndRun);
    EXPECT_EQ(messages, "Can't open file \"\".\n");
    // A folder is not replaced by a file.
    EXPECT_EQ(save(dir.path().string(), ClipDibCreateFailure::EndsRun), ClipDibResult::EndRun);
    EXPECT_TRUE(clipboard.calls.empty());
}

}  // namespace
}  // namespace varkit
