// The document writer, byte for byte: prolog, run groups, line kinds,
// characters, markup commands, lab report references and hostile files.
#include "rich_export/rtf_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "tests/rich/rich_files.h"
#include "tests/rich/rtf_run.h"
#include "tests/support/fake_platform.h"
#include "tests/support/variable_files.h"
#include "varfile/varfile.h"

namespace varkit::testing {
namespace {

const std::string kOpener = kRunOpener;
const std::string kTextProlog = expected_prolog("89", "TEXT", "var", "TEXT");

Bytes text_file(const std::string& text, const std::string& signature = "**TI89**") {
    VariableFileSpec spec;
    spec.signature = signature;
    spec.data = text_data(text);
    return make_variable_file(spec);
}

Bytes string_file(const std::string& characters) {
    VariableFileSpec spec;
    spec.type_code = 12;
    spec.name = "s1";
    spec.data = string_data(characters);
    return make_variable_file(spec);
}

// The document for a TEXT variable of `text` (line-start bytes included),
// without the prolog, which must be the TI-89 TEXT one.
std::string text_body(const std::string& text, bool keep_colons = false) {
    RtfSettings settings;
    settings.keep_colons = keep_colons;
    Converted doc = convert(text_file(text), settings);
    EXPECT_EQ(doc.result, 1) << doc.err;
    EXPECT_EQ(doc.rtf.substr(0, kTextProlog.size()), kTextProlog);
    return doc.rtf.substr(std::min(kTextProlog.size(), doc.rtf.size()));
}

TEST(RtfDocument, PlainLinesWithAndWithoutColons) {
    EXPECT_EQ(text_body(" ab\r c"), kOpener + "ab\\par\nc}}");
    EXPECT_EQ(text_body(" ab\r c", true), kOpener + " :ab\\par\n :c}}");
}

TEST(RtfDocument, EmptyTextIsPrologAndClosingBrace) {
    EXPECT_EQ(text_body(" "), "}");
    EXPECT_EQ(text_body(" ", true), kOpener + " :}}");
    // A file that ends right after the header still gives a closed document.
    Bytes header_only = text_file(" ");
    header_only.resize(88);
    EXPECT_EQ(convert(header_only).rtf, kTextProlog + "}");
}

TEST(RtfDocument, PrologNamesModelTypeAndFonts) {
    EXPECT_EQ(convert(text_file(" ", "**TI92**")).rtf,
              expected_prolog("92", "TEXT", "var", "TEXT") + "}");
    EXPECT_EQ(convert(text_file(" ", "**TI92P*")).rtf,
              expected_prolog("92P", "TEXT", "var", "TEXT") + "}");

    Converted str = convert(string_file("x"));
    EXPECT_EQ(str.rtf, expected_prolog("89", "STR", "s1", "STR") + kOpener + "x}}");

    RtfSettings fonts;
    fonts.default_font = kExtraFontNumber;
    fonts.extra_font_entry = rtf_font_entry("Arial");
    EXPECT_EQ(
        convert(text_file(" "), fonts).rtf,
        expected_prolog("89", "TEXT", "var", "TEXT", 6, "{\\f6\\fnil\\fcharset0\\fprq2 Arial;}") +
            "}");
    fonts.default_font = -1;
    fonts.extra_font_entry.clear();
    EXPECT_EQ(convert(text_file(" "), fonts).rtf,
              expected_prolog("89", "TEXT", "var", "TEXT", -1) + "}");
}

TEST(RtfDocument, NamesAreEscapedForRtf) {
    VariableFileSpec spec;
    spec.name = "a{b}\\\xE9";
    spec.data = text_data(" ");
    EXPECT_EQ(convert(make_variable_file(spec)).rtf,
              expected_prolog("89", "TEXT", "a\\{b\\}\\\\\\'e9", "TEXT") + "}");
    EXPECT_EQ(rtf_font_entry("Fancy {Bold}\\"),
              "{\\f6\\fnil\\fcharset0\\fprq2 Fancy \\{Bold\\}\\\\;}");
    // A font name of any length is kept whole.
    std::string long_name(1000, 'F');
    EXPECT_EQ(rtf_font_entry(long_name).size(), long_name.size() + 28);
}

TEST(RtfCharacters, ControlAndRtfSpecialCharacters) {
    EXPECT_EQ(text_body(" a\\b{c}d\te"), kOpener + "a\\\\b\\{c\\}d\\tab e}}");
    // Control codes show as a backslash and two digits; six of them are
    // calculator symbols drawn at their font code points.
    EXPECT_EQ(text_body(" \x01\x05\x0b\x1b"), kOpener + "\\\\01\\\\05\\\\11\\\\27}}");
    EXPECT_EQ(text_body(" \x12\x16\x1c\x1d\x1e\x1f"), kOpener + "\xD0\xBB\xBC\xBD\xBE\xBF}}");
    EXPECT_EQ(text_body(" ~ "), kOpener + "~ }}");
}

std::string high_char(const char* font, const char* digits) {
    return kOpener + font + "\\'" + digits + "}";
}

TEST(RtfCharacters, HighCharactersStandInGroupsOfTheirOwn) {
    // 0xA4 is drawn at 0xA5 of the calculator font, so 0xA5 itself comes
    // from Courier New.
    EXPECT_EQ(text_body(" a\xA4\xA5z"), kOpener + "a}" + high_char("\\f0 ", "A5") +
                                            high_char("\\f1 ", "A5") + kOpener + "z}}");
    EXPECT_EQ(text_body(" \x80\x97\xB1\xBF\xF7\xFF"),
              high_char("\\f0 ", "80") + high_char("\\f0 ", "C6") + high_char("\\f0 ", "F7") +
                  high_char("\\f0 ", "B9") + high_char("\\f1 ", "F7") + high_char("\\f0 ", "FF") +
                  "}");
    const std::uint8_t second_font[] = {0xA5, 0xA7, 0xAA, 0xAE, 0xB6, 0xC6, 0xD0, 0xD7, 0xDE, 0xF7};
    int in_second_font = 0;
    for (int code = 0x80; code <= 0xFF; ++code) {
        in_second_font += rtf_in_second_font(static_cast<std::uint8_t>(code)) ? 1 : 0;
    }
    EXPECT_EQ(in_second_font, 10);
    for (std::uint8_t code : second_font) {
        EXPECT_TRUE(rtf_in_second_font(code));
        EXPECT_EQ(rtf_font_code(code), code);  // drawn under their own code
    }
}

// The Unicode document: one monospace font in place of the calculator's two,
// and every character with one of its own as \uN in the running text, its
// format kept, with its ASCII spelling; x-bar as x and a combining overline,
// a character beyond U+FFFF as a surrogate pair. Names are spelt the same.
TEST(RtfCharacters, UnicodeEscapesWithAsciiFallbacks) {
    RtfSettings settings;
    settings.unicode = true;
    VariableFileSpec spec;
    spec.name = "n\x80";
    spec.data = text_data(
        " 5\x16x \x7F"
        "b\x8C\x7F"
        "b\x9A\x12\xE9\x01");
    Converted doc = convert(make_variable_file(spec), settings);
    std::string prolog = expected_prolog("89", "TEXT", "n\\uc5\\u945 alpha", "TEXT");
    const std::string monospace =
        "\\fmodern\\fcharset0\\fprq1 Courier New\\'3bDejaVu Sans Mono\\'3bLiberation Mono;"
        "{\\*\\falt Courier New}}";
    for (const auto& [font, calculator] :
         {std::pair{"{\\f0", "Ti92Pluspc"}, {"{\\f5", "Ti92PpcBold"}}) {
        std::size_t at = prolog.find(font);
        prolog.replace(at, prolog.find("}}", at) + 2 - at, font + monospace);
        EXPECT_EQ(prolog.find(calculator), std::string::npos);
    }
    EXPECT_EQ(doc.rtf.substr(0, prolog.size()), prolog);
    EXPECT_EQ(doc.rtf.substr(std::min(prolog.size(), doc.rtf.size())),
              kOpener +
                  "5\\uc2\\u8594 ->x \\b \\uc2\\u960 pi\\b0 x\\uc3\\u773 bar\\uc1\\u9656 "
                  ">\\uc1\\u233 e\\\\01}}");
    EXPECT_EQ(rtf_unicode_character(0x0E), "\\uc4\\u-10179 lock\\uc0\\u-8942 ");
    EXPECT_EQ(rtf_unicode_character(0xB4), "\\uc3\\u8315 ^-1\\uc0\\u185 ");
}

TEST(RtfMarkup, TogglesSwitchOnAndOffWithinTheRunGroup) {
    EXPECT_EQ(text_body(" \x7F"
                        "bx\x7F"
                        "by"),
              kOpener + "\\b x\\b0 y}}");
    // Closing the group for a high character switches every toggle off.
    EXPECT_EQ(text_body(" \x7F"
                        "b\x80\x7F"
                        "b"),
              kOpener + "\\b }" + high_char("\\f0 ", "80") + kOpener + "\\b }}");
    // Letters that share an off word keep toggles of their own.
    EXPECT_EQ(text_body(" \x7Fs\x7FS\x7Fs\x7FS"),
              kOpener + "\\sub \\super \\nosupersub \\nosupersub }}");
    EXPECT_EQ(text_body(" \x7Fl\x7Fm\x7Fl\x7F"
                        "E\x7F"
                        "e\x7F"
                        "E"),
              kOpener + "\\ql \\qc \\pard \\embo \\impr \\plain }}");
    EXPECT_EQ(text_body(" \x7F"
                        "b\x7Fn\x7F"
                        "b"),
              kOpener + "\\b }" + kOpener + "\\b }}");
    // The toggles of one line carry over the paragraph mark.
    EXPECT_EQ(text_body(" \x7Fi\r \x7Fi"), kOpener + "\\i \\par\n\\i0 }}");
}

TEST(RtfMarkup, EveryToggleLetter) {
    const char* words[][3] = {
        {"b", "\\b ", "\\b0 "},
        {"i", "\\i ", "\\i0 "},
        {"C", "\\caps ", "\\caps0 "},
        {"c", "\\scaps ", "\\scaps0 "},
        {"d", "\\deleted ", "\\deleted0 "},
        {"v", "\\v ", "\\v0 "},
        {"o", "\\outl ", "\\outl0 "},
        {"h", "\\shad ", "\\shad0 "},
        {"k", "\\strike ", "\\strike0 "},
        {"s", "\\sub ", "\\nosupersub "},
        {"S", "\\super ", "\\nosupersub "},
        {"u", "\\ulw ", "\\ul0 "},
        {"U", "\\ul ", "\\ul0 "},
        {"l", "\\ql ", "\\pard "},
        {"m", "\\qc ", "\\pard "},
        {"r", "\\qr ", "\\pard "},
        {"j", "\\qj ", "\\pard "},
        {"E", "\\embo ", "\\plain "},
        {"e", "\\impr ", "\\plain "},
    };
    for (const auto& word : words) {
        std::string command = std::string("\x7F") + word[0];
        EXPECT_EQ(text_body(" " + command + "a" + command + "b"),
                  kOpener + word[1] + "a" + word[2] + "b}}")
            << word[0];
    }
}

TEST(RtfMarkup, WordsAndOperands) {
    EXPECT_EQ(text_body(" \x7F-\x7FT\x7Ft"), kOpener + "\\emdash \\chtime \\tab }}");
    EXPECT_EQ(text_body(" \x7F"
                        "D1\x7F"
                        "D2\x7F"
                        "D3"),
              kOpener + "\\chdate \\chdpa \\chdpl }}");
    EXPECT_EQ(text_body(" \x7F"
                        "f2a\x7F"
                        "fda\x7F"
                        "fDa"),
              kOpener + "\\f2 a\\plain a\\plain a}}");
    // A font number is a digit; any other byte is the text's next character.
    EXPECT_EQ(text_body(" \x7F"
                        "f}a\x7F"
                        "f\ra"),
              kOpener + "\\}a\\par\na}}");
    EXPECT_EQ(text_body(" \x7Fp0\x7Fp9\x7FpF\x7Fpf\x7FpA"),
              kOpener + "\\fs12 \\fs48 \\fs72 \\fs72 \\fs52 }}");
    // Other operands follow the same arithmetic, minus sign included.
    EXPECT_EQ(text_body(" \x7Fp "), kOpener + "\\fs-52 }}");
}

TEST(RtfMarkup, UnknownLettersAndLostOperandsWriteNothing) {
    // 0x7F "x" consumes two bytes, 0x7F "D" "4" three.
    EXPECT_EQ(text_body(" a\x7Fxb\x7F"
                        "D4c"),
              kOpener + "abc}}");
    // A command cut off by the end of the text.
    EXPECT_EQ(text_body(" a\x7F"), kOpener + "a}}");
    EXPECT_EQ(text_body(" a\x7Fp"), kOpener + "a}}");
}

TEST(RtfLines, LineStartBytes) {
    EXPECT_EQ(text_body(" a\rCb\rPc\rQd"), kOpener + "a\\par\nC:b\\par\nP:c\\par\nQd}}");
    EXPECT_EQ(text_body("Ca"), kOpener + "C:a}}");
    EXPECT_EQ(text_body("Pa"), kOpener + "P:a}}");
    // On the first line any byte is consumed as its line-start byte.
    EXPECT_EQ(text_body("Qa"), kOpener + "a}}");
    EXPECT_EQ(text_body("Qa", true), kOpener + " :a}}");
    // A 0x0C inside a line is a page break there as well.
    EXPECT_EQ(text_body(" a\x0C"
                        "b"),
              kOpener + "a}" + kOpener + "\n\\page\nb}}");
}

TEST(RtfLines, PageBreaks) {
    EXPECT_EQ(text_body("\x0C"
                        "a"),
              kOpener + "\n\\page New Page a}}");
    EXPECT_EQ(text_body(" a\r\x0C"
                        "b"),
              kOpener + "a\\par\n}" + kOpener + "\n\\page\nb}}");
    EXPECT_EQ(text_body(" a\r\x0C"
                        "b",
                        true),
              kOpener + " :a\\par\n}" + kOpener + "\n\\page\n :b}}");
}

TEST(RtfLines, StringsHaveNoLineStartBytes) {
    RtfSettings colons;
    colons.keep_colons = true;  // switched off for a STR
    Converted doc = convert(string_file("a\rCb\r c"), colons);
    EXPECT_EQ(doc.rtf,
              expected_prolog("89", "STR", "s1", "STR") + kOpener + "a\\par\nCb\\par\n c}}");
}

TEST(RtfLines, LiteralEscapeWritesTheNextByteUnchanged) {
    // A group the escapes open closes with the run group.
    EXPECT_EQ(text_body(" \x0E{\x0E\\par\x0E\x7F"), kOpener + "{\\par\x7F}}}");
    // The text's terminator after 0x0E still ends it.
    EXPECT_EQ(text_body(" a\x0E"), kOpener + "a}}");
}

// Formatting passes through the escape; a destination, or a brace that
// would close the run group, becomes text.
TEST(RtfLines, LiteralEscapeNeverOpensADestination) {
    const std::pair<std::string, std::string> cases[] = {
        {"\x0E\\b x\x0E\\fs24\x0E\\~\x0E\\'e9", "\\b x\\fs24\\~\\'e9}"},
        {"\x0E{\x0E\\field{\x0E\\*\x0E\\fldinst HYPERLINK}\x0E}",
         "{\\\\field\\{\\\\*\\\\fldinst HYPERLINK\\}}}"},
        {"\x0E{\x0E\\object\x0E\\objemb\x0E}", "{\\\\object\\\\objemb}}"},
        {"\x0E{\x0E\\\x0E\\pict\x0E}", "{\\\\pict}}"},
        {"\x0E\\bin9 \x0E}", "\\\\bin9 \\}}"},
        {"\x0E\\b\xA4", "\\b}\n{\\secd\\pard\\plain \\f0 \\'A5}"},
        {"a\x0E\\", "a\\\\}"},
    };
    for (const auto& [text, rtf] : cases) {
        EXPECT_EQ(text_body(" " + text), kOpener + rtf + "}") << text;
    }
}

// A lab report in folder main beside a string and a second folder.
Bytes report_file(const std::string& text, const std::string& header_folder = "") {
    return make_group_file("**TI92P*", header_folder,
                           {
                               {"main", 31, {}},
                               {"lab", 139, text_data(text)},
                               {"s1", 12, string_data("hi")},
                               {"other", 31, {}},
                               {"s2", 12, string_data("yo")},
                               {"s1", 12, string_data("s1 of other")},
                               {"s3", 12, string_data("a\x7Fp")},
                           });
}

const std::string kReportProlog = expected_prolog("92P", "Lab Report", "lab", "lab report");

std::string report_body(const std::string& text, bool keep_colons = false) {
    RtfSettings settings;
    settings.keep_colons = keep_colons;
    Converted doc = convert(report_file(text), settings);
    EXPECT_EQ(doc.result, 1) << doc.err;
    EXPECT_EQ(doc.rtf.substr(0, kReportProlog.size()), kReportProlog);
    return doc.rtf.substr(std::min(kReportProlog.size(), doc.rtf.size()));
}

std::string embedded(const std::string& characters, const std::string& colons = "") {
    return kOpener + "\n\\sect\\sbknone " + colons + characters + "}";
}

TEST(RtfLabReport, StringsByFolderAndNameOrByNameAlone) {
    const std::string expected =
        kOpener + "x\\par\n}" + embedded("hi") + kOpener + "\\par\\sect\\sbknone\ny}}";
    EXPECT_EQ(report_body(" x\rPmain\\s1\r y"), expected);
    EXPECT_EQ(report_body(" x\rPs1\r y"), expected);
    // Spaces are dropped, letter case does not count, parts keep 8 characters.
    EXPECT_EQ(report_body(" x\rP MAIN \\ S1 \r y"), expected);
    EXPECT_EQ(report_body(" x\rPmainxxxxyy\\s1\r y"),
              kOpener + "x\\par\n}" + kOpener + "P:mainxxxx\\\\s1\n\\par\ny}}");
    // A further backslash starts the name afresh.
    EXPECT_EQ(report_body(" x\rPmain\\zz\\s1\r y"), expected);
    EXPECT_EQ(report_body(" x\rPother\\s1\r y"), kOpener + "x\\par\n}" + embedded("s1 of other") +
                                                     kOpener + "\\par\\sect\\sbknone\ny}}");
    // With colons kept, the embedded string begins with one as well.
    EXPECT_EQ(report_body(" x\rPs1\r y", true), kOpener + " :x\\par\n}" + embedded("hi", " :") +
                                                    kOpener + "\\par\\sect\\sbknone\n :y}}");
    // A reference on the last line, ended by the terminator.
    EXPECT_EQ(report_body(" x\rPs1"), kOpener + "x\\par\n}" + embedded("hi") + "}");
    // A markup command cut short by a string's terminator does not read past
    // it into the string's tag.
    EXPECT_EQ(report_body(" \rPother\\s3"), kOpener + "\\par\n}" + embedded("a") + "}");
    // On the first line a "P" is no reference.
    EXPECT_EQ(report_body("Ps1"), kOpener + "P:s1}}");
}

TEST(RtfLabReport, UnresolvedReferencesAreWrittenAsLabels) {
    const std::string before = kOpener + "x\\par\n}";
    EXPECT_EQ(report_body(" x\rPmain\\pic1\r y"), before + kOpener + "P:main\\\\pic1\n\\par\ny}}");
    EXPECT_EQ(report_body(" x\rPpic1\r y"), before + kOpener + "P:main\\\\pic1\n\\par\ny}}");
    // The label is escaped: a brace in a reference cannot break the document.
    EXPECT_EQ(report_body(" x\rPa{b}\\c\\\\\r y"), before + kOpener + "P:a\\{b\\}\\\\\n\\par\ny}}");
    EXPECT_EQ(report_body(" x\rP\xE9\r y"), before + kOpener + "P:main\\\\\\'e9\n\\par\ny}}");
    // The report itself and the folder entries are no strings.
    EXPECT_EQ(report_body(" x\rPlab\r y"), before + kOpener + "P:main\\\\lab\n\\par\ny}}");
    EXPECT_EQ(report_body(" x\rPother\r y"), before + kOpener + "P:main\\\\other\n\\par\ny}}");
}

TEST(RtfLabReport, ANameAloneFollowsTheFolderOfTheLastLookup) {
    // A lookup that runs through the whole table leaves the current folder at
    // the last folder entry, where s2 is found by its name alone.
    EXPECT_EQ(report_body(" \rPs2\rPnone\rPs2\rPs1"),
              kOpener + "\\par\n}" + kOpener + "P:main\\\\s2\n\\par\n}" + kOpener +
                  "P:other\\\\none\n\\par\n}" + embedded("yo") + kOpener +
                  "\\par\\sect\\sbknone\n}" + embedded("s1 of other") + "}");
}

TEST(RtfLabReport, LookupsInALargeTableAnswerAsAScanWould) {
    // Of two entries whose names differ in letter case only the first counts;
    // every lookup, found or not, leaves the current folder where a scan of
    // the table would.
    std::vector<GroupEntry> entries{{"main", 31, {}},
                                    {"lab", 139, text_data(" \rPDUP\rPfar\\v299\rPv7\rPdup")},
                                    {"Dup", 12, string_data("first")},
                                    {"dup", 12, string_data("second")},
                                    {"far", 31, {}}};
    for (int i = 0; i < 300; ++i) {
        entries.push_back({"v" + std::to_string(i), 12, string_data(std::to_string(i))});
    }
    Converted doc = convert(make_group_file("**TI92P*", "", entries));
    const std::string next_line = kOpener + "\\par\\sect\\sbknone\n}";
    EXPECT_EQ(doc.rtf, kReportProlog + kOpener + "\\par\n}" + embedded("first") + next_line +
                           embedded("299") + next_line + embedded("7") + next_line + kOpener +
                           "P:far\\\\dup\n}}");
}

TEST(RtfLabReport, ResolvingByTheEntryTable) {
    TempDir dir;
    write_file(dir.file("report"), report_file(" "));
    FilePtr in(std::fopen(dir.file("report").c_str(), "rb"));
    ASSERT_TRUE(in);
    FakePlatform platform;
    Runtime rt{stdout, stderr, platform};
    RtfWriter writer({}, rt);
    // Entries: folder, report, s1, folder, s2, s1, s3. The data begins at
    // 64 + 7 x 16 + 2 = 178; each block is 6 + data + 2 bytes long, so the
    // report (5 data bytes) ends at 191 and s1 (5 data bytes) at 204.
    RtfReference s1 = writer.rtf_resolve_reference(in.get(), "MAIN", "s1");
    ASSERT_TRUE(s1.found);
    EXPECT_EQ(s1.type_code, 12);
    EXPECT_EQ(s1.data_offset, 191u);
    EXPECT_EQ(s1.end_offset, 204u);
    RtfReference s2 = writer.rtf_resolve_reference(in.get(), "other", "S2");
    ASSERT_TRUE(s2.found);
    EXPECT_EQ(s2.data_offset, 204u);
    EXPECT_EQ(s2.end_offset, 217u);
    EXPECT_FALSE(writer.rtf_resolve_reference(in.get(), "main", "s2").found);
    EXPECT_FALSE(writer.rtf_resolve_reference(in.get(), "other", "lab").found);
}

TEST(RtfDocument, UnsupportedTypesWriteNothing) {
    VariableFileSpec pic;
    pic.type_code = 16;
    pic.data = picture_data(1, 8, {0x80});
    Converted doc = convert(make_variable_file(pic));
    EXPECT_EQ(doc.result, 0);
    EXPECT_EQ(doc.rtf, "");
    EXPECT_EQ(doc.err, "Error: File type not supported (PIC).\n");

    VariableFileSpec odd = pic;
    odd.type_code = 200;
    EXPECT_EQ(convert(make_variable_file(odd)).err, "Error: File type not supported (?).\n");

    Bytes folders_only = make_group_file("**TI89**", "", {{"main", 31, {}}, {"more", 31, {}}});
    doc = convert(folders_only);
    EXPECT_EQ(doc.result, 0);
    EXPECT_EQ(doc.err, "Error: File type not supported (GROUP).\n");

    // The scan stops at the count the header announces.
    Bytes counted = report_file(" a");
    counted[58] = 1;
    EXPECT_EQ(convert(counted).err, "Error: File type not supported (GROUP).\n");
    // A file that ends inside its first entry has no type at all.
    Bytes cut = text_file(" a");
    cut.resize(70);
    EXPECT_EQ(convert(cut).err, "Error: File type not supported (?).\n");
}

TEST(RtfDocument, FolderEntriesBeforeTheVariable) {
    // The text's data offset is the folder entry's trailing value.
    Bytes file =
        make_group_file("**TI89**", "", {{"main", 31, {}}, {"notes", 11, text_data(" hi")}});
    Converted doc = convert(file);
    EXPECT_EQ(doc.rtf, expected_prolog("89", "TEXT", "notes", "TEXT") + kOpener + "hi}}");
}

// Entry tables that lie: every document still ends, closed.
TEST(RtfHostileFiles, LyingEntryTables) {
    Bytes counts = report_file(" x\rPs1\r y");
    counts[58] = 0xFF;
    counts[59] = 0xFF;  // far more entries than the file holds
    Converted doc = convert(counts);
    EXPECT_EQ(doc.result, 1);
    EXPECT_EQ(doc.rtf.back(), '}');

    Bytes past_end = report_file(" x\rPs1\r y");
    // s1's data offset (the report's trailing value) points past the file.
    past_end[64 + 16 + 12] = 0xFF;
    past_end[64 + 16 + 13] = 0xFF;
    doc = convert(past_end);
    EXPECT_EQ(doc.result, 1);
    EXPECT_NE(doc.rtf.find("P:main\\\\s1\n"), std::string::npos) << doc.rtf;

    Bytes ends_early = report_file(" x\rPs1\r y");
    // The report's data end before its data offset: no body at all.
    ends_early[64 + 16 + 12] = 0;
    ends_early[64 + 16 + 13] = 0;
    doc = convert(ends_early);
    EXPECT_EQ(doc.rtf, kReportProlog + "}");

    // A string whose block ends before its data gives no characters.
    Bytes reversed = report_file(" x\rPs1\r y");
    reversed[64 + 32 + 12] = 0;
    reversed[64 + 32 + 13] = 0;
    doc = convert(reversed);
    EXPECT_NE(doc.rtf.find(embedded("") + kOpener + "P:main\\\\s1\n"), std::string::npos)
        << doc.rtf;
}

// Many damaged copies of a report: none may crash, hang or leave the
// document open.
TEST(RtfHostileFiles, DamagedReportsStillCloseTheDocument) {
    const Bytes original = report_file(" x\rPs1\rPmain\\s2\r\x7Fpa\x0C\rPother\\s1\r\x0E{y\x80");
    std::mt19937 random(6);
    for (int round = 0; round < 300; ++round) {
        Bytes file = original;
        int damage = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < damage; ++i) {
            file[random() % file.size()] = static_cast<std::uint8_t>(random());
        }
        if (round % 3 == 0) {
            file.resize(random() % file.size());
        }
        Converted doc = convert(file);
        if (doc.result == 1) {
            ASSERT_FALSE(doc.rtf.empty());
            EXPECT_EQ(doc.rtf.substr(0, 6), "{\\rtf1");
            EXPECT_EQ(doc.rtf.back(), '}') << "round " << round;
        } else {
            EXPECT_EQ(doc.rtf, "");
            EXPECT_EQ(doc.err.rfind("Error: File type not supported (", 0), 0u) << doc.err;
        }
    }
}

}  // namespace
}  // namespace varkit::testing
