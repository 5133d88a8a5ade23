// The Win32 platform against the real clipboard and GDI (Wine's when the
// tests run on Linux): what is placed comes back, and the CF_DIB that Windows
// makes from a placed CF_BITMAP is the block our other backends make.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/dib.h"

namespace varkit {
namespace {

DeviceBitmap bitmap_of(int width, int height, std::uint8_t seed) {
    DeviceBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.row_length = (width + 15) / 16 * 2;
    bitmap.bits.resize(static_cast<std::size_t>(bitmap.row_length * height));
    for (std::size_t i = 0; i < bitmap.bits.size(); ++i) {
        bitmap.bits[i] = static_cast<std::uint8_t>(seed * 37 + i * 11);
    }
    return bitmap;
}

DeviceBitmap without_bits_past_width(DeviceBitmap bitmap) {
    for (int row = 0; row < bitmap.height; ++row) {
        for (int column = bitmap.width; column < bitmap.row_length * 8; ++column) {
            bitmap.bits[static_cast<std::size_t>(row * bitmap.row_length + column / 8)] &=
                static_cast<std::uint8_t>(~(0x80 >> (column % 8)));
        }
    }
    return bitmap;
}

TEST(Win32Platform, TextAndRichTextComeBackAndSettingWithoutEmptyingAdds) {
    Win32Platform platform;
    const std::string text = "line1\r\nC:run\r\n\x9c\xff";
    ASSERT_TRUE(platform.clipboard_open());
    ASSERT_TRUE(platform.clipboard_empty());
    ASSERT_TRUE(platform.clipboard_set_text(text));
    ASSERT_TRUE(platform.clipboard_set_rich_text("{\\rtf1 x}\n"));
    platform.clipboard_close();

    ASSERT_TRUE(platform.clipboard_open());
    EXPECT_EQ(platform.clipboard_get_text().text, text);
    HANDLE rich = GetClipboardData(RegisterClipboardFormatA("Rich Text Format"));
    ASSERT_NE(rich, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(rich)), "{\\rtf1 x}\n");
    GlobalUnlock(rich);
    EXPECT_FALSE(platform.clipboard_get_dib());
    platform.clipboard_close();
}

TEST(Win32Platform, WindowsMakesTheSameDibFromAPlacedBitmap) {
    Win32Platform platform;
    for (auto [width, height] : {std::pair{1, 1}, {16, 2}, {17, 3}, {77, 13}, {240, 128}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        DeviceBitmap bitmap = bitmap_of(width, height, static_cast<std::uint8_t>(width));
        ASSERT_TRUE(platform.create_bitmap(bitmap));
        ASSERT_TRUE(platform.clipboard_open());
        ASSERT_TRUE(platform.clipboard_empty());
        ASSERT_TRUE(platform.clipboard_set_bitmap(bitmap));
        platform.clipboard_close();

        ASSERT_TRUE(platform.clipboard_open());
        std::optional<std::vector<std::uint8_t>> dib = platform.clipboard_get_dib();
        platform.clipboard_close();
        ASSERT_TRUE(dib);
        // Windows differs from ours in two ways: it clears the bits past
        // the width in each row (ours copies them as the bitmap has them),
        // and it leaves the information header's count of colours used
        // (offset 32) at 0, which for 1 bit per pixel means the whole
        // two-entry table. Every other byte is ours.
        std::vector<std::uint8_t> ours = synthesize_dib(without_bits_past_width(bitmap));
        ASSERT_EQ(dib->size(), ours.size());
        EXPECT_EQ((*dib)[32], 0);
        (*dib)[32] = ours[32];
        EXPECT_EQ(*dib, ours);
    }
}

TEST(Win32Platform, RefusesWhatNoDeviceBitmapCanBeMadeOf) {
    Win32Platform platform;
    DeviceBitmap two_planes = bitmap_of(8, 8, 1);
    two_planes.planes = 2;
    DeviceBitmap odd_row = bitmap_of(8, 8, 1);
    odd_row.row_length = 1;
    DeviceBitmap short_bits = bitmap_of(8, 8, 1);
    short_bits.bits.pop_back();
    DeviceBitmap empty = bitmap_of(0, 0, 1);
    for (const DeviceBitmap& bitmap : {two_planes, odd_row, short_bits, empty}) {
        EXPECT_FALSE(platform.create_bitmap(bitmap));
    }
}

// VARKIT_CLIPBOARD=none. (The clipboard folder stand-in is the one of Unix;
// the end-to-end tables run through Wine use it.)
TEST(Win32Platform, WithoutClipboardOpeningFails) {
    Win32Platform none(std::make_unique<NoneClipboard>());
    EXPECT_FALSE(none.clipboard_open());
}

}  // namespace
}  // namespace varkit
