// The character table between the calculator's codes and Unicode, and the
// plain-text form spelt in UTF-8 and ASCII.
#include "charset/charset.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "varfile/text_contents.h"

namespace varkit::testing {
namespace {

std::string all_codes() {
    std::string codes;
    for (int code = 1; code < 256; ++code) {
        codes += static_cast<char>(code);
    }
    return codes;
}

// Every code has its own character and comes back from it, so no two share
// one; the characters people read are the usual ones.
TEST(Charset, TableIsOneToOne) {
    std::set<char32_t> seen;
    for (int code = 1; code < 256; ++code) {
        char32_t character = unicode_of(static_cast<std::uint8_t>(code));
        EXPECT_TRUE(seen.insert(character).second) << code;
        EXPECT_EQ(calculator_code_of(character), code) << code;
    }
    EXPECT_EQ(calculator_code_of(U'\u20AC'), std::nullopt);
    EXPECT_EQ(calculator_code_of(kStandInBase + 0x16), std::nullopt);
    std::string spelt;
    for (std::uint8_t code : {0x16, 0x80, 0x88, 0x8C, 0x9C, 0xE9, 0x01, 0x9A}) {
        append_utf8(spelt, unicode_of(code));
    }
    EXPECT_EQ(spelt, "\u2192\u03B1\u03B8\u03C0\u2264\u00E9\uE001\uE09A");
}

// A variable's text of every code, as each layout gives it, survives the
// plain-text form spelt in UTF-8 and read back; the ASCII spelling is
// printable ASCII but for tab and the line ends.
TEST(Charset, EveryCodeSurvivesUtf8) {
    for (TextLayout layout : {TextLayout::Text, TextLayout::String}) {
        std::string text = all_codes();
        if (layout == TextLayout::Text) {
            // Every line opens with its line-start byte.
            text = " " + text.insert(text.find('\r') + 1, " ");
        }
        std::string plain = plain_text_from_variable(layout, text);
        std::string utf8 = utf8_from_plain_text(plain);
        PlainTextFromUtf8 back = plain_text_from_utf8(utf8);
        ASSERT_FALSE(back.refusal) << back.refusal->shown;
        EXPECT_EQ(back.plain, plain);
        EXPECT_EQ(variable_text_from_plain(layout, back.plain), text);
        EXPECT_NE(utf8.find("\u2192"), std::string::npos);
        EXPECT_EQ(utf8.find("\\\\22"), std::string::npos);
        for (char c : ascii_from_plain_text(plain)) {
            EXPECT_TRUE((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n') << int(c);
        }
    }
    EXPECT_EQ(utf8_from_plain_text("5\\\\22x \\\\01 \\\\2"), "5\u2192x \\\\01 \\\\2");
    EXPECT_EQ(ascii_from_plain_text("5\\\\22x a\x9C"
                                    "b \x8C \x88 caf\xE9"),
              "5->x a<=b pi theta cafe");
}

TEST(Charset, RefusalsNameTheCharacterAndItsLine) {
    struct Case {
        std::string utf8;
        std::string shown;
        std::size_t line;
        bool not_utf8;
    };
    for (const Case& c :
         {Case{"ab\r\ncd\nx\u20ACy", "\u20AC", 3, false}, Case{"a\rb\r\rc\xFF", "0xFF", 4, true},
          Case{"\xC3(", "0xC3", 1, true},         // cut short
          Case{"\xC0\xAF", "0xC0", 1, true},      // overlong
          Case{"\xED\xA0\x80", "0xED", 1, true},  // surrogate
          Case{"x\U0001F600", "\U0001F600", 1, false}, Case{"\u0085", "U+0085", 1, false},
          // Characters that show nothing of their own, or reorder the line.
          Case{"a\u202Eb", "U+202E", 1, false}, Case{"x\uFEFF", "U+FEFF", 1, false},
          Case{"\uE123", "U+E123", 1, false}, Case{"\u200B", "U+200B", 1, false},
          Case{"\U000E0041", "U+E0041", 1, false}, Case{"\U0010FFFD", "U+10FFFD", 1, false}}) {
        PlainTextFromUtf8 result = plain_text_from_utf8(c.utf8);
        ASSERT_TRUE(result.refusal) << c.utf8;
        EXPECT_EQ(result.refusal->shown, c.shown);
        EXPECT_EQ(result.refusal->line, c.line) << c.utf8;
        EXPECT_EQ(result.refusal->not_utf8, c.not_utf8);
    }
    // A byte-order mark is passed over, a control character is its own byte,
    // a zero ends the text.
    EXPECT_EQ(plain_text_from_utf8("\xEF\xBB\xBFx\u2192y").plain, "x\\\\22y");
    EXPECT_EQ(plain_text_from_utf8(std::string("a\x0C\x1B\0\xFF", 5)).plain, "a\x0C\x1B");
}

}  // namespace
}  // namespace varkit::testing
