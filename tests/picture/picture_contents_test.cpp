// Picture rows read from and written to a variable file, and the rule that
// makes device bitmap bits of them.
#include <gtest/gtest.h>

#include "tests/picture/picture_test_files.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

using testing::Bytes;

FilePtr open_bytes(const testing::TempDir& dir, const Bytes& bytes) {
    std::string path = dir.file("picture");
    testing::write_file(path, bytes);
    return FilePtr(std::fopen(path.c_str(), "rb"));
}

TEST(PictureBitmapBits, ComplementsAndPadsEachRowToWholeWords) {
    struct Case {
        std::uint16_t columns;
        int row_length;
    };
    // 96 columns: 12 row bytes, no pad; 72: 9 and a pad byte; 100: 13, the
    // last byte carrying 4 pixels; 239: 30.
    for (Case c : {Case{96, 12}, Case{72, 10}, Case{100, 14}, Case{239, 30}}) {
        Dimensions size{3, c.columns};
        std::size_t row_bytes = picture_row_bytes(c.columns);
        Bytes rows(picture_rows_size(size));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i] = static_cast<std::uint8_t>(i * 37);
        }
        PictureBitmapBits bits = vf_picture_bitmap_bits(size, rows);
        EXPECT_EQ(bits.width, c.columns);
        EXPECT_EQ(bits.height, 3);
        ASSERT_EQ(bits.row_length, c.row_length);
        ASSERT_EQ(bits.bits.size(), 3u * c.row_length);
        for (std::size_t r = 0; r < 3; ++r) {
            for (std::size_t b = 0; b < row_bytes; ++b) {
                EXPECT_EQ(bits.bits[r * c.row_length + b],
                          static_cast<std::uint8_t>(~rows[r * row_bytes + b]));
            }
            if (row_bytes % 2 == 1) {
                EXPECT_EQ(bits.bits[r * c.row_length + row_bytes], 0) << "pad bytes are zero";
            }
        }
    }
    // 2 rows of 3 columns, A0 and 40: 5F, pad, BF, pad with a row length of 2;
    // a single dark pixel 0x80 becomes 0x7F.
    EXPECT_EQ(vf_picture_bitmap_bits({2, 3}, {0xA0, 0x40}).bits, (Bytes{0x5F, 0, 0xBF, 0}));
    EXPECT_EQ(vf_picture_bitmap_bits({1, 8}, {0x80}).bits, (Bytes{0x7F, 0}));
}

TEST(PictureRows, ReadFromAnyOffsetAsRowsTimesRowBytes) {
    testing::TempDir dir;
    // The data length says 0 and the tag is missing: neither is consulted.
    Bytes file(92, 0);
    Bytes rows = testing::pack_rows(testing::pattern(5, 100));
    file.insert(file.end(), rows.begin(), rows.end());
    FilePtr stream = open_bytes(dir, file);
    Bytes read;
    ASSERT_EQ(vf_read_picture_rows(92, {5, 100}, read, stream.get()), 1);
    EXPECT_EQ(read, rows);
    // From another offset the same bytes shift.
    ASSERT_EQ(vf_read_picture_rows(93, {1, 8}, read, stream.get()), 1);
    EXPECT_EQ(read, Bytes{rows[1]});
    // One row more than the file holds, or a size no file of this length
    // could hold, fails.
    EXPECT_EQ(vf_read_picture_rows(92, {6, 100}, read, stream.get()), 0);
    EXPECT_EQ(vf_read_picture_rows(92, {65535, 65535}, read, stream.get()), 0);
}

TEST(PictureRows, WrittenWithSizeWordsAndTag) {
    testing::TempDir dir;
    std::string path = dir.file("out.89i");
    FilePtr file(std::fopen(path.c_str(), "w+b"));
    Bytes header(88, 0);
    header[87] = 7;  // data length 7: 4 size bytes, 2 row bytes, the tag
    std::fwrite(header.data(), 1, header.size(), file.get());
    ASSERT_EQ(vf_write_picture({2, 3}, {0xA0, 0x40}, file.get()), 1);
    EXPECT_EQ(vf_compute_checksum(file.get()), 459u);
    EXPECT_EQ(vf_write_picture({2, 3}, {0xA0}, file.get()), 0) << "rows of the wrong size";
    file.reset();
    Bytes written = testing::read_file(path);
    EXPECT_EQ(Bytes(written.begin() + 88, written.end()),
              (Bytes{0x00, 0x02, 0x00, 0x03, 0xA0, 0x40, 0xDF}));
}

}  // namespace
}  // namespace varkit
