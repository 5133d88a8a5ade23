#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/text/text_fixtures.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

using namespace std::string_literals;

std::string to_plain(TextLayout layout, const std::string& text) {
    return plain_text_from_variable(layout, text);
}

std::string from_plain(TextLayout layout, const std::string& plain) {
    return variable_text_from_plain(layout, plain);
}

TEST(PlainTextExport, LineEndsMarkersAndEscapes) {
    constexpr auto kText = TextLayout::Text;
    EXPECT_EQ(to_plain(TextLayout::String, "A\rB"), "A\r\nB");
    // A STR has no line-start bytes: the byte after its line end is a character.
    EXPECT_EQ(to_plain(TextLayout::String, "a\rCb\x0C"), "a\r\nCb\\\\12");
    // The closing empty Plain line leaves only the line end before it.
    EXPECT_EQ(to_plain(kText, " abc\rCx\r\x0C\r "), "abc\r\nC:x\r\nB:\r\n");
    EXPECT_EQ(to_plain(kText, "\x0Cpage\rPobj"), "B:page\r\nP:obj");
    // 0x0A and a 0x0C that starts no line are escaped; a tab is not.
    EXPECT_EQ(to_plain(kText, " a\nb\x0C\tc\x01\x1F"), "a\\\\10b\\\\12\tc\\\\01\\\\31");
    // A byte after a line end that is no line-start byte is the line's first
    // character.
    EXPECT_EQ(to_plain(kText, " a\rxb\r\r "), "a\r\nxb\r\n\r\n");
    EXPECT_EQ(to_plain(kText, ""), "");
    std::string high;
    for (int c = 0x7F; c <= 0xFF; ++c) {
        high += static_cast<char>(c);
    }
    EXPECT_EQ(to_plain(kText, " " + high), high);
    EXPECT_EQ(to_plain(kText, " ab\0cd"s), "ab") << "the text ends at its first zero byte";
}

TEST(PlainTextImport, LineEndsMarkersAndEscapes) {
    constexpr auto kText = TextLayout::Text;
    constexpr auto kString = TextLayout::String;
    EXPECT_EQ(from_plain(kText, "line1\r\nC:run\r\n"), " line1\rCrun\r ");
    EXPECT_EQ(from_plain(kString, "line1\r\nC:run\r\n"), "line1\rC:run\r");
    EXPECT_EQ(from_plain(kText, "a\n\nb"), " a\r \r b") << "a blank line of a Unix text stays";
    EXPECT_EQ(from_plain(kText, "a\r\n\r\nb\n\r"), " a\r \r b\r \r ");
    EXPECT_EQ(from_plain(kText, "a\r\rb"), " a\r \r b");
    EXPECT_EQ(from_plain(kText, "B:x\nP:y\rz C:"), "\x0Cx\rPy\r z C:");
    EXPECT_EQ(from_plain(kText, "\\\\07\\\\65"),
              " \x07"
              "A");
    EXPECT_EQ(from_plain(kText, "ab\\\\00cd\r\nmore"), " ab") << "an escape of 0 ends the text";
    EXPECT_EQ(from_plain(kString, "a\\b\\\\A0"), "a\\b\xAA") << "digits are not validated";
    // An escape cut short by the end of the text keeps its characters.
    EXPECT_EQ(from_plain(kString, "x\\\\1"), "x\\\\1");
    EXPECT_EQ(from_plain(kString, "\\\\"), "\\\\");
    EXPECT_EQ(from_plain(kText, "\\\\\r"), " \\\\\r ");
    EXPECT_EQ(from_plain(kText, "\\\\1\r"), " \xE7") << "any two characters make the byte";
    EXPECT_EQ(from_plain(kText, "ab\0cd"s), " ab") << "the input ends at its first zero byte";
    EXPECT_EQ(from_plain(kText, ""), " ");
    EXPECT_EQ(from_plain(kString, ""), "");
}

// Every byte the calculator stores, in lines of every kind, comes back as it
// was after a trip through the plain-text form.
TEST(PlainTextForm, RoundTripsEveryByteAndLineKind) {
    std::string characters;
    for (int c = 1; c <= 0xFF; ++c) {
        if (c != '\r' && c != '\\') {
            characters += static_cast<char>(c);
        }
    }
    characters += "a\\b";  // a single backslash is an ordinary character
    std::string text = " " + characters + "\rC" + characters + "\rP\r\x0C" + characters + "\r ";
    std::string plain = plain_text_from_variable(TextLayout::Text, text);
    EXPECT_EQ(variable_text_from_plain(TextLayout::Text, plain), text);

    std::string string = characters + "\r" + characters + "\r";
    plain = plain_text_from_variable(TextLayout::String, string);
    EXPECT_EQ(variable_text_from_plain(TextLayout::String, plain), string);
}

// What the plain-text form cannot keep: a Plain line that begins with a
// marker, a line without a line-start byte, and a backslash followed by a
// second one or by an escaped byte (backslashes are not escaped themselves).
TEST(PlainTextForm, CasesTheFormCannotKeep) {
    auto round_trip = [](TextLayout layout, const std::string& text) {
        return variable_text_from_plain(layout, plain_text_from_variable(layout, text));
    };
    EXPECT_EQ(round_trip(TextLayout::Text, " C:x\r P:y"), "Cx\rPy");
    EXPECT_EQ(round_trip(TextLayout::Text, " a\rb"), " a\r b");
    EXPECT_EQ(round_trip(TextLayout::String, "a\\\\12b"),
              "a\x0C"
              "b");
    EXPECT_EQ(round_trip(TextLayout::String, "a\\\x01"),
              "a\xB8"
              "1");
}

TEST(TextVariableData, LayoutsAndLimits) {
    EXPECT_EQ(testing::as_string(text_variable_data(TextLayout::Text, " ")),
              "\x00\x01\x20\x00\xE0"s);
    EXPECT_EQ(testing::as_string(text_variable_data(TextLayout::String, "")), "\x00\x00\x2D"s);
    EXPECT_EQ(testing::as_string(text_variable_data(TextLayout::String, "ab")), "\0ab\0\x2D"s);
    // The data length (text + 4 or text + 3) must fit 16 bits.
    EXPECT_EQ(max_variable_text(TextLayout::Text), 65531u);
    EXPECT_EQ(max_variable_text(TextLayout::String), 65532u);
    EXPECT_EQ(text_layout_of(11), TextLayout::Text);
    EXPECT_EQ(text_layout_of(12), TextLayout::String);
    EXPECT_FALSE(text_layout_of(16));
    EXPECT_FALSE(line_kind_of('x'));
    EXPECT_EQ(line_kind_of(0x0C), LineKind::PageBreak);
}

TEST(ReadVariableText, FromTheFirstLineUpToTheFirstZero) {
    auto read = [](TextLayout layout, const testing::Bytes& file) {
        std::string bytes = testing::as_string(file);
        std::FILE* stream = fmemopen(bytes.data(), bytes.size(), "rb");
        std::string text = read_variable_text(layout, stream);
        std::fclose(stream);
        return text;
    };
    // The cursor position is skipped; the data length is not consulted.
    auto text = testing::variable_file("**TI89**", 11, "\x00\x13 hi\rCx\0\xE0"s);
    text[87] = 2;
    EXPECT_EQ(read(TextLayout::Text, text), " hi\rCx");
    EXPECT_EQ(read(TextLayout::String, testing::variable_file("**TI92**", 12, "\0abc\0\x2D"s)),
              "abc");
    // Without a terminator the text runs to the end of the file.
    auto cut = testing::variable_file("**TI92**", 12, "\0abc"s);
    cut.resize(cut.size() - 2);
    EXPECT_EQ(read(TextLayout::String, cut), "abc");
}

}  // namespace
}  // namespace varkit
