// Quillcast in-process: command line, dialogs and their order, the named
// output and the clipboard, and every failure on the way.
#include "rich_export/quillcast.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/dib.h"
#include "tests/rich/rich_files.h"
#include "tests/support/fake_platform.h"
#include "tests/support/program_run.h"
#include "tests/support/variable_files.h"

namespace varkit::testing {
namespace {

const char kUsage[] =
    "Quillcast 0.2\n"
    "Copies the text from TI[89,92,92+] STR and TEXT files to the clipboard and an\n"
    "optional text file.\n"
    "\n"
    "Quillcast  [\"TI file\"] [\"rtf file\"] [/:] [/F | /F# | /F \"FONT\"]\n"
    "\n"
    "TI File   A TI TEXT, STR, or lab report file. If this option is left blank a\n"
    "          Windows \"File Open\" dialog will be used.\n"
    "rtf File  A name to save the RTF file as. If this option is left blank a\n"
    "          Windows \"Save As\" dialog will be used.\n"
    "  /:      Leave colon at start of each line (default is to remove them).\n"
    "  /F      Use a Windows dialog to select a new font.\n"
    "  /F#     Change default font to one of the following:\n"
    "            0  Ti92Pluspc (default)\n"
    "            1  Courier New\n"
    "            2  Times New Roman\n"
    "            3  Signature\n"
    "            4  Comic Sans MS\n"
    "\n"
    "          Another font can be selected by placing its name after the /F switch.\n"
    "          Regardless of any font changes, all characters above ASCII 127 will\n"
    "          remain in the TI font.\n";

const std::string kOpener = kRunOpener;
using Calls = std::vector<std::string>;

// Every test gets a folder of its own for its files and as the temporary
// folder, so that anything left behind shows.
class QuillcastTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(dir.file("scratch"));
        setenv("TMPDIR", dir.file("scratch").c_str(), 1);
        VariableFileSpec spec;
        spec.signature = "**TI92P*";
        spec.name = "notes";
        spec.data = text_data(" hello\rCworld");
        write_file(notes, make_variable_file(spec));
    }
    void TearDown() override { unsetenv("TMPDIR"); }

    ProgramResult run(const std::vector<std::string>& args) {
        return run_in_process(quillcast_main, args, platform);
    }
    std::vector<std::string> scratch_left() const { return list_dir(dir.file("scratch")); }
    // The document of the notes file with the given default font and extra
    // font table entry.
    static std::string notes_document(int font = 0, const std::string& extra = "",
                                      bool colons = false) {
        std::string body =
            colons ? kOpener + " :hello\\par\nC:world}}" : kOpener + "hello\\par\nC:world}}";
        return expected_prolog("92P", "TEXT", "notes", "TEXT", font, extra) + body;
    }

    TempDir dir;
    FakePlatform platform;
    std::string notes = dir.file("notes.9xt");
    std::string output = dir.file("notes.rtf");
};

TEST_F(QuillcastTest, UsageForHelpAndBadCommandLines) {
    ProgramResult help = run({"/?"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, kUsage);
    EXPECT_EQ(help.err, "");
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{notes, "/x"}, {"-Q"}, {notes, output, "third"}}) {
        ProgramResult result = run(bad);
        EXPECT_EQ(result.status, 2) << bad.back();
        EXPECT_EQ(result.out, kUsage);
        EXPECT_EQ(result.err, "");
    }
    // Nothing was converted, asked or touched.
    EXPECT_EQ(platform.calls, Calls{});
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(QuillcastTest, OneArgumentGoesToTheClipboard) {
    platform.dib = synthesize_dib(DeviceBitmap{0, 8, 1, 2, 1, 1, {0x00, 0x00}});
    ProgramResult result = run({notes});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, notes + " to clipboard\nRich text copied to clipboard.\n");
    EXPECT_EQ(platform.rich_text, notes_document());
    // Set without emptying: the bitmap the clipboard held stays beside it.
    EXPECT_EQ(platform.calls, (Calls{"open", "set_rich_text", "close"}));
    EXPECT_TRUE(platform.dib.has_value());
    EXPECT_EQ(scratch_left(), std::vector<std::string>{});
}

TEST_F(QuillcastTest, TwoArgumentsWriteTheNamedFile) {
    ProgramResult result = run({notes, output});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, notes + " to " + output + "\n");
    Bytes document = read_file(output);
    EXPECT_EQ(std::string(document.begin(), document.end()), notes_document());
    EXPECT_EQ(platform.calls, Calls{});  // no dialogs, no clipboard, nothing opened
    EXPECT_EQ(list_dir(dir.path().string()),
              (std::vector<std::string>{"notes.9xt", "notes.rtf", "scratch"}));
}

TEST_F(QuillcastTest, SwitchesForColonsAndFonts) {
    struct Case {
        std::vector<std::string> args;
        std::string document;
    };
    const Case cases[] = {
        {{"/:", notes, output}, notes_document(0, "", true)},
        {{notes, "-:", output}, notes_document(0, "", true)},
        {{notes, output, "/F3"}, notes_document(3)},
        {{notes, output, "-f12x"}, notes_document(12)},
        {{notes, "/F", "Arial", output},
         notes_document(6, "{\\f6\\fnil\\fcharset0\\fprq2 Arial;}")},
        {{notes, "/FONT", "Comic {Neue}", output},
         notes_document(6, "{\\f6\\fnil\\fcharset0\\fprq2 Comic \\{Neue\\};}")},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(output);
        ProgramResult result = run(c.args);
        EXPECT_EQ(result.status, 0) << result.err;
        Bytes document = read_file(output);
        EXPECT_EQ(std::string(document.begin(), document.end()), c.document) << c.args[1];
    }
    EXPECT_EQ(platform.calls, Calls{});
}

TEST_F(QuillcastTest, ALoneFontSwitchAsksForTheFont) {
    // As the last argument, and before another switch.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{notes, output, "/F"}, {notes, output, "/F", "/:"}}) {
        platform.calls.clear();
        platform.font_answers = {"Liberation Serif"};
        ProgramResult result = run(args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(platform.calls, (Calls{"sound", "font_dialog"}));
        Bytes document = read_file(output);
        EXPECT_EQ(std::string(document.begin(), document.end()),
                  notes_document(6, "{\\f6\\fnil\\fcharset0\\fprq2 Liberation Serif;}",
                                 args.back() == "/:"));
    }
    // A cancelled font dialog leaves font 6 without a name.
    platform.calls.clear();
    ProgramResult result = run({notes, output, "/F"});
    EXPECT_EQ(result.status, 0);
    Bytes document = read_file(output);
    EXPECT_EQ(std::string(document.begin(), document.end()),
              notes_document(6, "{\\f6\\fnil\\fcharset0\\fprq2 ;}"));
}

TEST_F(QuillcastTest, NoArgumentsAskForEverythingAndOpenTheDocument) {
    platform.open_answers = {notes};
    platform.save_answers = {output};
    platform.font_answers = {"Arial"};
    ProgramResult result = run({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, notes + " to " + output + "\n");
    EXPECT_EQ(platform.calls, (Calls{"sound", "open_dialog", "sound", "save_dialog", "sound",
                                     "font_dialog", "open_document"}));
    EXPECT_EQ(platform.opened_documents, std::vector<std::string>{output});
    Bytes document = read_file(output);
    EXPECT_EQ(std::string(document.begin(), document.end()),
              notes_document(6, "{\\f6\\fnil\\fcharset0\\fprq2 Arial;}"));

    ASSERT_EQ(platform.dialogs_shown.size(), 2u);
    const FileDialog& open = platform.dialogs_shown[0];
    EXPECT_EQ(open.title, "TI-89, 92, or 92 Plus file to convert");
    ASSERT_EQ(open.filters.size(), 3u);
    EXPECT_EQ(open.filters[0].label, "Lab Report");
    EXPECT_EQ(open.filters[0].patterns, "*.89R;*.92R;*.9xR");
    EXPECT_EQ(open.filters[1].label, "TEXT var");
    EXPECT_EQ(open.filters[1].patterns, "*.89T;*.92T;*.9xT");
    EXPECT_EQ(open.filters[2].label, "STR var");
    EXPECT_EQ(open.filters[2].patterns, "*.89S;*.92S;*.9xS");
    const FileDialog& save = platform.dialogs_shown[1];
    EXPECT_EQ(save.title, "Save As (Rich Text Format)");
    ASSERT_EQ(save.filters.size(), 1u);
    EXPECT_EQ(save.filters[0].label, "Rich Text Format");
    EXPECT_EQ(save.filters[0].patterns, "*.rtf");
    EXPECT_EQ(save.default_extension, "rtf");
}

TEST_F(QuillcastTest, CancelledDialogs) {
    // Open cancelled: the run ends at once, without a word.
    ProgramResult result = run({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(platform.calls, (Calls{"sound", "open_dialog"}));

    // Save cancelled: the document goes to the clipboard; nothing is opened.
    platform.calls.clear();
    platform.open_answers = {notes};
    platform.font_answers = {"Arial"};
    result = run({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, notes + " to clipboard\nRich text copied to clipboard.\n");
    EXPECT_EQ(platform.calls, (Calls{"sound", "open_dialog", "sound", "save_dialog", "sound",
                                     "font_dialog", "open", "set_rich_text", "close"}));
    EXPECT_EQ(platform.rich_text, notes_document(6, "{\\f6\\fnil\\fcharset0\\fprq2 Arial;}"));
    EXPECT_EQ(scratch_left(), std::vector<std::string>{});
}

TEST_F(QuillcastTest, WSwitchAfterTheInputAsksForOutputAndFont) {
    platform.save_answers = {output};
    ProgramResult result = run({notes, "/w"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(platform.calls,
              (Calls{"sound", "save_dialog", "sound", "font_dialog", "open_document"}));

    // Before the input name it is undone by the name.
    platform.calls.clear();
    result = run({"-W", notes, output});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(platform.calls, Calls{});
}

TEST_F(QuillcastTest, AnExistingDocumentIsReplacedOnlyByAComplete) {
    write_file(output, std::string("{\\rtf1 the old document}"));
    const Bytes old_document = read_file(output);

    VariableFileSpec picture;
    picture.type_code = 16;
    picture.data = picture_data(1, 8, {0x80});
    write_file(dir.file("pic.9xi"), make_variable_file(picture));
    VariableFileSpec newer;
    newer.data = text_data(" hi");
    std::vector<std::uint8_t> newer_file = make_variable_file(newer);
    newer_file[8] = 2;  // format word 2
    write_file(dir.file("newer.89t"), newer_file);
    VariableFileSpec model;
    model.signature = "**TI83**";
    model.data = text_data(" hi");
    write_file(dir.file("ti83.83t"), make_variable_file(model));

    struct Case {
        std::string input;
        std::string message;
    };
    const Case cases[] = {
        {dir.file("missing.9xt"), "Error: Unable to open " + dir.file("missing.9xt") + ".\n"},
        {dir.file("pic.9xi"), "Error: File type not supported (PIC).\n"},
        {dir.file("newer.89t"), "Error: File type not supported.\n"},
        {dir.file("ti83.83t"), "Error: File type not supported.\n"},
    };
    for (const Case& c : cases) {
        ProgramResult result = run({c.input, output});
        EXPECT_EQ(result.status, 1) << c.input;
        EXPECT_EQ(result.err, c.input + " to " + output + "\n" + c.message);
        EXPECT_EQ(read_file(output), old_document) << c.input;
        // And where there was none, none is made.
        std::string fresh = dir.file("fresh.rtf");
        run({c.input, fresh});
        EXPECT_FALSE(std::filesystem::exists(fresh)) << c.input;
    }
    // No document is opened when none was written.
    platform.save_answers = {output};
    run({dir.file("pic.9xi"), "/w"});
    EXPECT_EQ(platform.opened_documents, std::vector<std::string>{});
    EXPECT_EQ(list_dir(dir.path().string()),
              (std::vector<std::string>{"newer.89t", "notes.9xt", "notes.rtf", "pic.9xi", "scratch",
                                        "ti83.83t"}));
}

TEST_F(QuillcastTest, OutputThatCannotBeOpened) {
    std::string nowhere = dir.file("no/such/folder.rtf");
    ProgramResult result = run({notes, nowhere});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, notes + " to " + nowhere + "\nError: Unable to open " + nowhere + ".\n");
    // A folder is no file to replace.
    result = run({notes, dir.file("scratch")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, notes + " to " + dir.file("scratch") + "\nError: Unable to open " +
                              dir.file("scratch") + ".\n");
}

TEST_F(QuillcastTest, ClipboardFailures) {
    platform.text = "kept";
    platform.fail_open = true;
    ProgramResult result = run({notes});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, notes + " to clipboard\nError: Unable to open clipboard.\n");

    platform.fail_open = false;
    platform.fail_set = true;
    result = run({notes});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, notes + " to clipboard\nError: Unable to set clipboard data.\n");
    EXPECT_EQ(platform.text, "kept");
    EXPECT_FALSE(platform.rich_text.has_value());
    EXPECT_FALSE(platform.is_open);

    // Without a document the clipboard step finds nothing to copy.
    platform.fail_set = false;
    platform.calls.clear();
    result = run({dir.file("missing.9xt")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, dir.file("missing.9xt") + " to clipboard\nError: Unable to open " +
                              dir.file("missing.9xt") + ".\nError: Unable to open file.\n");
    EXPECT_EQ(platform.calls, Calls{});
    EXPECT_EQ(scratch_left(), std::vector<std::string>{});
}

TEST_F(QuillcastTest, NoTemporaryFolder) {
    setenv("TMPDIR", dir.file("missing").c_str(), 1);
    ProgramResult result = run({notes});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, notes + " to clipboard\nError: Unable to open a temporary file.\n");
    EXPECT_EQ(platform.calls, Calls{});
}

// A lab report with a string and a picture, as in the demo.
Bytes demo_report() {
    return make_group_file("**TI92P*", "",
                           {
                               {"main", 31, {}},
                               {"lab", 139, text_data(" Result:\rPnote\rPmain\\graph\r done")},
                               {"note", 12, string_data("g = 9.8")},
                               {"graph", 16, picture_data(2, 8, {0x81, 0x7E})},
                           });
}

TEST_F(QuillcastTest, LabReportToTheClipboardKeepsItsPicture) {
    write_file(dir.file("lab.9xr"), demo_report());
    platform.text = "older text";
    ProgramResult result = run({dir.file("lab.9xr")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, dir.file("lab.9xr") + " to clipboard\nRich text copied to clipboard.\n");
    // The picture replaced what the clipboard held; the document joined it.
    EXPECT_FALSE(platform.text.has_value());
    EXPECT_EQ(platform.dib, synthesize_dib(DeviceBitmap{0, 8, 2, 2, 1, 1, {0x7E, 0, 0x81, 0}}));
    ASSERT_TRUE(platform.rich_text.has_value());
    EXPECT_NE(platform.rich_text->find("g = 9.8"), std::string::npos);
    EXPECT_NE(platform.rich_text->find("\\pict\\dibitmap0"), std::string::npos);
    EXPECT_EQ(platform.calls.back(), "close");
    EXPECT_EQ(platform.calls[platform.calls.size() - 2], "set_rich_text");
    EXPECT_EQ(scratch_left(), std::vector<std::string>{});

    // --no-clipboard: the same document, its picture made without the
    // clipboard; a document with nowhere else to go is a bad command line.
    platform.calls.clear();
    result = run({dir.file("lab.9xr"), output, "--no-clipboard"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(platform.calls, Calls{"create_bitmap"});
    Bytes document = read_file(output);
    EXPECT_EQ(std::string(document.begin(), document.end()), platform.rich_text);
    result = run({dir.file("lab.9xr"), "--no-clipboard"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "Error: --no-clipboard needs an RTF file to write.\n");
    EXPECT_EQ(platform.calls, Calls{"create_bitmap"});
}

TEST_F(QuillcastTest, APictureThatFailsIsReportedAndTheDocumentDelivered) {
    write_file(dir.file("lab.9xr"), demo_report());
    platform.fail_create_bitmap = true;
    ProgramResult result = run({dir.file("lab.9xr"), output});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              dir.file("lab.9xr") + " to " + output + "\nError: Unable to create bitmap.\n");
    Bytes document = read_file(output);
    std::string text(document.begin(), document.end());
    EXPECT_NE(text.find("P:main\\\\graph\n"), std::string::npos);
    EXPECT_EQ(text.back(), '}');

    result = run({dir.file("lab.9xr")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, dir.file("lab.9xr") +
                              " to clipboard\nError: Unable to create bitmap.\n"
                              "Rich text copied to clipboard.\n");
    EXPECT_EQ(platform.rich_text, text);
}

TEST_F(QuillcastTest, NoScratchFileForAPictureEndsTheRun) {
    write_file(dir.file("lab.9xr"), demo_report());
    write_file(output, std::string("old"));
    setenv("TMPDIR", dir.file("missing").c_str(), 1);
    ProgramResult result = run({dir.file("lab.9xr"), output});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              dir.file("lab.9xr") + " to " + output + "\nError: Can't create a temporary file.\n");
    EXPECT_EQ(read_file(output), Bytes({'o', 'l', 'd'}));
}

TEST_F(QuillcastTest, CopyingAFileToTheClipboard) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* err = open_memstream(&buffer, &size);
    Runtime rt{stdout, err, platform};
    write_file(dir.file("empty.rtf"), std::string());
    EXPECT_EQ(rtf_copy_file_to_clipboard(dir.file("empty.rtf"), rt), 0);
    EXPECT_EQ(rtf_copy_file_to_clipboard(dir.file("missing.rtf"), rt), 0);
    write_file(dir.file("doc.rtf"), std::string("{\\rtf1 x}\n"));
    EXPECT_EQ(rtf_copy_file_to_clipboard(dir.file("doc.rtf"), rt), 1);
    std::fclose(err);
    EXPECT_EQ(std::string(buffer, size),
              "Error: Unable to open file.\nError: Unable to open file.\n"
              "Rich text copied to clipboard.\n");
    std::free(buffer);
    EXPECT_EQ(platform.rich_text, "{\\rtf1 x}\n");
}

}  // namespace
}  // namespace varkit::testing
