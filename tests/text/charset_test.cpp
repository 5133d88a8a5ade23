// The character table between the calculator's codes and Unicode, and the
// plain-text form spelt in UTF-8 and ASCII.
#include "charset/charset.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

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

std::u32string characters_of(const std::string& utf8) {
    std::optional<std::u32string> characters = utf32_from_utf8(utf8);
    EXPECT_TRUE(characters) << utf8;
    return characters.value_or(U"");
}

PlainTextFromUnicode from_utf8(const std::string& utf8, Lacking lacking = Lacking::Refuse) {
    return plain_text_from_unicode(characters_of(utf8), lacking);
}

// Every code has characters of its own, none from the Private Use Area, and
// comes back from them, so no two share them; the characters people read are
// the usual ones, x-bar and the power -1 two of them.
TEST(Charset, TableIsOneToOne) {
    std::set<std::u32string> seen;
    for (int code = 1; code < 256; ++code) {
        std::u32string_view characters = unicode_of(static_cast<std::uint8_t>(code));
        ASSERT_FALSE(characters.empty()) << code;
        EXPECT_TRUE(seen.emplace(characters).second) << code;
        std::optional<CalculatorCharacter> back = calculator_code_at(characters);
        ASSERT_TRUE(back) << code;
        EXPECT_EQ(back->code, code);
        EXPECT_EQ(back->length, characters.size());
        for (char32_t character : characters) {
            EXPECT_FALSE(character >= 0xE000 && character <= 0xF8FF) << code;
            EXPECT_FALSE(character >= 0x7F && character < 0xA0) << code;
        }
        // Only tab, the line ends and the formatting codes stay controls.
        bool control = code <= 0x0A || code == 0x0C || code == 0x0D;
        EXPECT_EQ(has_own_character(static_cast<std::uint8_t>(code)), !control) << code;
    }
    EXPECT_EQ(calculator_code_at(U"\u20AC"), std::nullopt);
    EXPECT_EQ(calculator_code_at(U"\u0305"), std::nullopt);
    EXPECT_EQ(calculator_code_at(U"\u207B"), std::nullopt);
    EXPECT_EQ(calculator_code_at(U"x")->code, 'x');
    std::string spelt;
    for (std::uint8_t code :
         {0x16, 0x80, 0x88, 0x8C, 0x9C, 0xE9, 0x01, 0x9A, 0x0E, 0xB4, 0xAD, 0xA0, 0x7F}) {
        for (char32_t character : unicode_of(code)) {
            append_utf8(spelt, character);
        }
    }
    EXPECT_EQ(spelt,
              "\u2192\u03B1\u03B8\u03C0\u2264\u00E9\x01x\u0305\U0001F512\u207B\u00B9\u2212"
              "\u2026\u25C6");
}

// A variable's text of every code, as each layout gives it, survives the
// plain-text form spelt in UTF-8 and as a Unicode text file, and read back;
// the ASCII spelling is printable ASCII but for tab and the line ends.
TEST(Charset, EveryCodeSurvivesUtf8) {
    for (TextLayout layout : {TextLayout::Text, TextLayout::String}) {
        std::string text = all_codes();
        if (layout == TextLayout::Text) {
            // Every line opens with its line-start byte.
            text = " " + text.insert(text.find('\r') + 1, " ");
        }
        std::string plain = plain_text_from_variable(layout, text);
        std::string utf8 = utf8_from_plain_text(plain);
        PlainTextFromUnicode back = from_utf8(utf8);
        EXPECT_TRUE(back.refused.empty());
        EXPECT_EQ(back.plain, plain);
        EXPECT_EQ(variable_text_from_plain(layout, back.plain), text);
        EXPECT_NE(utf8.find("\u2192"), std::string::npos);
        EXPECT_EQ(utf8.find("\\\\22"), std::string::npos);

        std::string file = unicode_file_from_plain_text(plain);
        EXPECT_EQ(file.find('\r'), std::string::npos);
        EXPECT_EQ(file.back(), '\n');
        PlainTextFromUnicode from_file =
            plain_text_from_unicode_file(characters_of(file), Lacking::Refuse);
        EXPECT_EQ(variable_text_from_plain(layout, from_file.plain), text);
        for (char c : ascii_from_plain_text(plain)) {
            EXPECT_TRUE((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n') << int(c);
        }
    }
    EXPECT_EQ(utf8_from_plain_text("5\\\\22x \\\\01 \\\\2"), "5\u2192x \\\\01 \\\\2");
    // Symbol names stand apart from each other and from letters.
    EXPECT_EQ(ascii_from_plain_text("5\\\\22x a\x9C"
                                    "b \x8C \x88 caf\xE9 \x80\x81 2\x8Cr \x9A\xB4"),
              "5->x a<=b pi theta cafe alpha beta 2pi r xbar^-1");
    // One final line end ends the last line, a second one an empty line.
    EXPECT_EQ(unicode_file_from_plain_text("a\r\nb"), "a\nb\n");
    for (const auto& [file, plain] : std::vector<std::pair<std::u32string, std::string>>{
             {U"a\nb\n", "a\nb"}, {U"a\r\n\r\n", "a\r\n"}, {U"a\r", "a"}, {U"\n", ""}}) {
        EXPECT_EQ(plain_text_from_unicode_file(file, Lacking::Refuse).plain, plain);
    }
}

TEST(Charset, RefusalsNameTheCharacterAndItsLine) {
    PlainTextFromUnicode refused = from_utf8("ab\r\ncd\nx\u20ACy\r\r\U0001F600\u0085z\u0305");
    ASSERT_EQ(refused.refused.size(), 4u);
    const std::pair<char32_t, std::size_t> expected[] = {
        {U'\u20AC', 3}, {U'\U0001F600', 5}, {U'\u0085', 5}, {U'\u0305', 5}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(refused.refused[i].character, expected[i].first) << i;
        EXPECT_EQ(refused.refused[i].line, expected[i].second) << i;
    }
    // Characters that show nothing of their own, or reorder the line, are
    // named by their code points.
    for (const auto& [character, shown] :
         std::vector<std::pair<char32_t, std::string>>{{U'\u20AC', "\u20AC"},
                                                       {U'\U0001F600', "\U0001F600"},
                                                       {U'\u0085', "U+0085"},
                                                       {U'\x1B', "U+001B"},
                                                       {U'\u202E', "U+202E"},
                                                       {U'\uFEFF', "U+FEFF"},
                                                       {U'\uE123', "U+E123"},
                                                       {U'\u200B', "U+200B"},
                                                       {U'\U000E0041', "U+E0041"},
                                                       {U'\U0010FFFD', "U+10FFFD"}}) {
        EXPECT_EQ(shown_character(character), shown);
    }
    // Bytes that are not UTF-8: cut short, overlong, a surrogate, 0xFF.
    for (std::string bytes : {"\xC3(", "\xC0\xAF", "\xED\xA0\x80", "a\xFF"}) {
        EXPECT_EQ(utf32_from_utf8(bytes), std::nullopt) << bytes;
    }
    // A byte-order mark is passed over, a control character is its own byte,
    // a zero ends the text; an earlier version's stand-in is its code.
    EXPECT_EQ(from_utf8("\xEF\xBB\xBFx\u2192y").plain, "x\\\\22y");
    EXPECT_EQ(from_utf8(std::string("a\x0C\x1B\0\xC3\xA9", 6)).plain, "a\x0C\x1B");
    EXPECT_EQ(from_utf8("\uE09A\uE001").plain, "\x9A\x01");
}

// Approximated: typographic quotes, dashes and spaces become ASCII, an
// accented letter the letter the calculator has down its decompositions; a
// character with nothing near stays refused.
TEST(Charset, ApproximationsStoreTheNearestCharacter) {
    PlainTextFromUnicode near = from_utf8(
        "\u201Cquoted\u201D \u2013 text\u00A0\u2019s \u0174\u01D5\u03AC\u1EBF e\u0301 \u4E2D",
        Lacking::Approximate);
    EXPECT_EQ(near.plain, "\"quoted\" - text 's W\xDC\x80\xEA e ");
    EXPECT_EQ(near.approximated, 10u);
    ASSERT_EQ(near.refused.size(), 1u);
    EXPECT_EQ(near.refused[0].character, U'\u4E2D');
    for (char32_t character : {U'\u4E2D', U'\u20AC', U'\u0391'}) {
        EXPECT_EQ(nearest_characters(character), std::nullopt) << std::uint32_t(character);
    }
}

}  // namespace
}  // namespace varkit::testing
