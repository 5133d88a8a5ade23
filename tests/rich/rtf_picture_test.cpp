// Pictures of a lab report in the document: the bitmap's trip through the
// clipboard, the picture group byte for byte, every failure on the way, and
// the intermediate BMP file that must never stay behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "platform/dib.h"
#include "rich_export/rtf_writer.h"
#include "tests/rich/rich_files.h"
#include "tests/rich/rtf_run.h"
#include "tests/support/fake_platform.h"

namespace varkit::testing {
namespace {

const std::string kOpener = kRunOpener;
const std::string kProlog = expected_prolog("92P", "Lab Report", "lab", "lab report");

// Points the temporary folder at a folder of the test's own, so that every
// intermediate file can be seen, and restores it afterwards.
class ScratchFolder {
  public:
    ScratchFolder() { setenv("TMPDIR", dir_.path().c_str(), 1); }
    ~ScratchFolder() { unsetenv("TMPDIR"); }
    std::vector<std::string> left_behind() const { return list_dir(dir_.path().string()); }
    std::string path() const { return dir_.path().string(); }

  private:
    TempDir dir_;
};

// A 72 x 10 picture: a dark pixel in the top left corner, the bottom row all
// dark, a dark pixel in the last column of row 4.
Bytes sample_rows() {
    Bytes rows(9 * 10, 0x00);
    rows[0] = 0x80;
    for (int b = 0; b < 9; ++b) {
        rows[9 * 9 + b] = 0xFF;
    }
    rows[9 * 4 + 8] = 0x01;
    return rows;
}

// The device bitmap the picture must become: bytes complemented, rows padded
// to whole 16-bit words.
DeviceBitmap expected_bitmap(int columns, int rows, const Bytes& row_bytes) {
    const int stride = (columns + 7) / 8;
    DeviceBitmap bitmap{0, columns, rows, stride + stride % 2, 1, 1, {}};
    for (int r = 0; r < rows; ++r) {
        for (int b = 0; b < bitmap.row_length; ++b) {
            bitmap.bits.push_back(b < stride ? static_cast<std::uint8_t>(~row_bytes[r * stride + b])
                                             : 0);
        }
    }
    return bitmap;
}

std::string hex(std::uint8_t byte) {
    const char* digits = "0123456789abcdef";
    return {digits[byte >> 4], digits[byte & 0xF]};
}

// The picture group for a DIB block: the header and colour table on the
// first line, then 32 bytes a line.
std::string picture_group(const DeviceBitmap& bitmap, const Bytes& dib, bool colons = false) {
    std::string group = std::string("\n\\sect\\sbknone") + (colons ? "\\~\\~" : "") +
                        "{\\posxc\\pict\\dibitmap0\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes" +
                        std::to_string(bitmap.row_length) + "\\picw" +
                        std::to_string(bitmap.width) + "\\pich" + std::to_string(bitmap.height) +
                        "\\picscalex100\\picscaley100\n";
    for (std::size_t i = 0; i < 48; ++i) {
        group += hex(dib[i]);
    }
    group += "\n";
    for (std::size_t i = 48; i < dib.size(); ++i) {
        group += hex(dib[i]);
        if ((i - 48 + 1) % 32 == 0) {
            group += "\n";
        }
    }
    return group + "}";
}

Bytes report_with_pictures(const std::string& text, const Bytes& pic1, const Bytes& pic2) {
    return make_group_file("**TI92P*", "",
                           {
                               {"main", 31, {}},
                               {"lab", 139, text_data(text)},
                               {"pic1", 16, pic1},
                               {"pic2", 16, pic2},
                           });
}

Converted convert_report(const std::string& text, FakePlatform& platform, bool colons = false,
                         const Bytes& pic1 = picture_data(10, 72, sample_rows())) {
    RtfSettings settings;
    settings.keep_colons = colons;
    Bytes pic2 = picture_data(2, 16, {0xF0, 0x0F, 0x0F, 0xF0});
    Converted doc = convert(report_with_pictures(text, pic1, pic2), settings, &platform);
    EXPECT_EQ(doc.rtf.substr(0, kProlog.size()), kProlog);
    doc.rtf = doc.rtf.substr(std::min(kProlog.size(), doc.rtf.size()));
    return doc;
}

TEST(RtfPicture, PictureGroupByteForByte) {
    ScratchFolder scratch;
    FakePlatform platform;
    Converted doc = convert_report(" x\rPpic1\r y", platform);
    ASSERT_EQ(doc.result, 1) << doc.err;
    EXPECT_EQ(doc.err, "");
    DeviceBitmap bitmap = expected_bitmap(72, 10, sample_rows());
    EXPECT_EQ(bitmap.row_length, 10);
    Bytes dib = synthesize_dib(bitmap);
    EXPECT_EQ(doc.rtf, kOpener + "x\\par\n}" + picture_group(bitmap, dib) + kOpener +
                           "\\par\\sect\\sbknone\ny}}");
    EXPECT_EQ(scratch.left_behind(), std::vector<std::string>{});

    // With colons kept, two non-breaking spaces stand before the group.
    doc = convert_report(" x\rPmain\\pic1\r y", platform, true);
    EXPECT_EQ(doc.rtf, kOpener + " :x\\par\n}" + picture_group(bitmap, dib, true) + kOpener +
                           "\\par\\sect\\sbknone\n :y}}");
}

TEST(RtfPicture, HexLinesAndPixels) {
    ScratchFolder scratch;
    FakePlatform platform;
    Converted doc = convert_report(" \rPpic1", platform);
    std::size_t start = doc.rtf.find("\\picscaley100\n");
    ASSERT_NE(start, std::string::npos);
    std::string data = doc.rtf.substr(start + 14, doc.rtf.rfind('}') - start - 14);
    data = data.substr(0, data.find('}'));
    std::vector<std::string> lines;
    for (std::size_t at = 0; at <= data.size();) {
        std::size_t end = data.find('\n', at);
        lines.push_back(data.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? data.size() + 1 : end + 1;
    }
    // 48 bytes, then 120 bytes of rows (10 rows of 12): 32, 32, 32, 24.
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].size(), 96u);
    EXPECT_EQ(lines[1].size(), 64u);
    EXPECT_EQ(lines[4].size(), 48u);
    EXPECT_EQ(data.find_first_not_of("0123456789abcdef\n"), std::string::npos);
    // Information header: 40 bytes, width 72, height +10, 1 plane, 1 bit.
    EXPECT_EQ(lines[0].substr(0, 32),
              "2800000048000000"
              "0a00000001000100");
    // Colour 0 black, colour 1 white.
    EXPECT_EQ(lines[0].substr(80, 16), "00000000ffffff00");
    // Rows bottom up: the dark bottom row first (all 0 bits), the top row
    // last, its first pixel dark (bit 0) and the rest light.
    EXPECT_EQ(lines[1].substr(0, 18), std::string(18, '0'));
    std::string top_row = lines[4].substr(24);
    EXPECT_EQ(top_row.substr(0, 18), "7fffffffffffffffff");
}

TEST(RtfPicture, TheClipboardKeepsTheLastPicture) {
    ScratchFolder scratch;
    FakePlatform platform;
    platform.text = "something else";
    Converted doc = convert_report(" \rPpic1\rPpic2", platform);
    ASSERT_EQ(doc.err, "");
    EXPECT_EQ(platform.calls, (std::vector<std::string>{
                                  "create_bitmap", "open", "empty", "set_bitmap", "close", "open",
                                  "get_dib", "close",  // first picture
                                  "create_bitmap", "open", "empty", "set_bitmap", "close", "open",
                                  "get_dib", "close",  // second picture
                              }));
    EXPECT_FALSE(platform.text.has_value());
    DeviceBitmap second = expected_bitmap(16, 2, {0xF0, 0x0F, 0x0F, 0xF0});
    EXPECT_EQ(platform.dib, synthesize_dib(second));
    EXPECT_NE(doc.rtf.find(picture_group(second, synthesize_dib(second))), std::string::npos);
    EXPECT_EQ(scratch.left_behind(), std::vector<std::string>{});
}

// A clipboard whose n-th open fails.
class FlakyClipboard : public FakePlatform {
  public:
    int failing_open = 0;
    bool clipboard_open() override {
        if (++opens_ == failing_open) {
            calls.push_back("open");
            return false;
        }
        return FakePlatform::clipboard_open();
    }

  private:
    int opens_ = 0;
};

const std::string kLabelled = kOpener + "\\par\n}" + kOpener + "P:main\\\\pic1\n\\par\ny}}";

TEST(RtfPicture, FailuresWriteTheReferenceInstead) {
    ScratchFolder scratch;
    struct Case {
        const char* what;
        void (*arrange)(FlakyClipboard&);
        const char* message;
    };
    const Case cases[] = {
        {"bitmap", [](FlakyClipboard& p) { p.fail_create_bitmap = true; },
         "Error: Unable to create bitmap.\n"},
        {"open", [](FlakyClipboard& p) { p.failing_open = 1; },
         "Error: Unable to open clipboard.\n"},
        {"read-back open", [](FlakyClipboard& p) { p.failing_open = 2; },
         "Error: Unable to open clipboard.\n"},
        {"empty", [](FlakyClipboard& p) { p.fail_empty = true; },
         "Error: Unable to empty clipboard.\nError: Unable to get clipboard data.\n"},
        {"set", [](FlakyClipboard& p) { p.fail_set = true; },
         "Error: Unable to set clipboard data.\nError: Unable to get clipboard data.\n"},
    };
    for (const Case& c : cases) {
        FlakyClipboard platform;
        c.arrange(platform);
        Converted doc = convert_report(" \rPpic1\r y", platform);
        EXPECT_EQ(doc.result, 1) << c.what;
        EXPECT_EQ(doc.err, c.message) << c.what;
        // No section break follows a picture that was not written.
        EXPECT_EQ(doc.rtf, kLabelled) << c.what;
        EXPECT_EQ(scratch.left_behind(), std::vector<std::string>{}) << c.what;
    }
}

TEST(RtfPicture, AClipboardThatCannotBeEmptiedStillGivesTheReportsPicture) {
    ScratchFolder scratch;
    FakePlatform platform;
    platform.fail_empty = true;
    DeviceBitmap other = expected_bitmap(8, 1, {0xAA});
    platform.dib = synthesize_dib(other);
    Converted doc = convert_report(" \rPpic1", platform);
    EXPECT_EQ(doc.err, "Error: Unable to empty clipboard.\n");
    // Numbers and data are the report's picture, not the bitmap the
    // clipboard held.
    DeviceBitmap own = expected_bitmap(72, 10, sample_rows());
    EXPECT_NE(doc.rtf.find(picture_group(own, synthesize_dib(own))), std::string::npos);
}

TEST(RtfPicture, PicturesOfAnyStoredSize) {
    ScratchFolder scratch;
    FakePlatform platform;
    // 0 x 0: no bitmap can be made of it.
    Converted doc = convert_report(" \rPpic1\r y", platform, false, picture_data(0, 0, {}));
    EXPECT_EQ(doc.err, "Error: Unable to create bitmap.\n");
    EXPECT_EQ(doc.rtf, kLabelled);

    // A stored size far beyond what the file holds: refused, not invented.
    doc = convert_report(" \rPpic1\r y", platform, false, picture_data(0xFFFF, 0xFFFF, {1, 2}));
    EXPECT_EQ(doc.err, "Error: File ends before the picture's last row.\n");
    EXPECT_EQ(doc.rtf, kLabelled);

    // The largest calculator picture and one beyond it both fit.
    for (auto [columns, rows] : {std::pair{239, 103}, std::pair{600, 200}}) {
        Bytes row_bytes(static_cast<std::size_t>((columns + 7) / 8 * rows), 0x5A);
        doc = convert_report(" \rPpic1", platform, false,
                             picture_data(static_cast<std::uint16_t>(rows),
                                          static_cast<std::uint16_t>(columns), row_bytes));
        EXPECT_EQ(doc.err, "");
        DeviceBitmap bitmap = expected_bitmap(columns, rows, row_bytes);
        EXPECT_NE(doc.rtf.find(picture_group(bitmap, synthesize_dib(bitmap))), std::string::npos)
            << columns;
    }
    EXPECT_EQ(scratch.left_behind(), std::vector<std::string>{});
}

// Damaged reports with pictures: no crash, no endless loop, every document
// closed and no intermediate file left.
TEST(RtfPicture, DamagedReportsWithPictures) {
    ScratchFolder scratch;
    const Bytes original =
        report_with_pictures(" x\rPpic1\rPmain\\pic2\r y", picture_data(10, 72, sample_rows()),
                             picture_data(2, 16, {0xF0, 0x0F, 0x0F, 0xF0}));
    std::mt19937 random(72);
    for (int round = 0; round < 200; ++round) {
        Bytes file = original;
        for (int i = 0, damage = 1 + static_cast<int>(random() % 6); i < damage; ++i) {
            file[random() % file.size()] = static_cast<std::uint8_t>(random());
        }
        FakePlatform platform;
        Converted doc = convert(file, {}, &platform);
        if (doc.result == 1) {
            EXPECT_EQ(doc.rtf.back(), '}') << "round " << round;
        }
        ASSERT_EQ(scratch.left_behind(), std::vector<std::string>{}) << "round " << round;
    }
}

TEST(RtfPicture, NoTemporaryFileEndsTheRun) {
    FakePlatform platform;
    TempDir dir;
    setenv("TMPDIR", dir.file("missing").c_str(), 1);
    Converted doc = convert_report(" x\rPpic1\r y", platform);
    unsetenv("TMPDIR");
    EXPECT_EQ(doc.result, 0);
    EXPECT_TRUE(doc.run_ended);
    EXPECT_EQ(doc.err, "Error: Can't create a temporary file.\n");
}

}  // namespace
}  // namespace varkit::testing
