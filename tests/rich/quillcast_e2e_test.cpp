// The built Quillcast end to end, through the shared headless clipboard
// folder, and its documents read back by real RTF readers: unrtf for the
// text and the pictures it finds, LibreOffice (converting to OpenDocument)
// for the text, its bold and italic, and every picture's pixels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "tests/rich/rich_files.h"
#include "tests/support/program_run.h"
#include "tests/support/test_desktop.h"
#include "tests/support/tool_run.h"
#include "tests/support/variable_files.h"

namespace varkit::testing {
namespace {

const std::string kReader = std::string(VARKIT_RICH_TESTS_DIR) + "/read_document.py";

std::string as_text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The non-empty paragraphs and the pictures of a reader's listing.
std::vector<std::string> content_of(const std::vector<std::string>& listing) {
    std::vector<std::string> content;
    for (const std::string& line : listing) {
        if (line != "text ") {
            content.push_back(line);
        }
    }
    return content;
}

std::string box_picture_line() {
    return "picture 16x8 ################/#..............#/#..............#/"
           "#..............#/#..............#/#..............#/#..............#/"
           "################";
}

Bytes box_picture() {
    return picture_data(8, 16,
                        {0xFF, 0xFF, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80, 0x01,
                         0x80, 0x01, 0xFF, 0xFF});
}

Bytes lab_report() {
    return make_group_file("**TI92P*", "",
                           {
                               {"main", 31, {}},
                               {"lab", 139,
                                text_data(" Pendulum\rPnote\rPmain\\graph\r \x7F"
                                          "bdone\x7F"
                                          "b\rPa{b}")},
                               {"note", 12, string_data("g = 9.8")},
                               {"graph", 16, box_picture()},
                           });
}

Bytes text_variable(const std::string& text) {
    VariableFileSpec spec;
    spec.signature = "**TI92P*";
    spec.name = "notes";
    spec.data = text_data(text);
    return make_variable_file(spec);
}

class QuillcastEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* folder : {"work", "scratch", "read"}) {
            std::filesystem::create_directory(dir.file(folder));
        }
    }
    std::vector<std::string> env(const std::string& backend, const std::string& locale) const {
        return {"VARKIT_CLIPBOARD=" + backend, "VARKIT_CLIPBOARD_DIR=" + dir.file("clipboard"),
                "TMPDIR=" + dir.file("scratch"), "DISPLAY=", locale};
    }
    // Runs Quillcast in the folder "work", in the C locale unless told.
    ProgramResult run(const std::vector<std::string>& args, const std::string& backend = "files",
                      const std::string& locale = "LC_ALL=C") {
        std::vector<std::string> command{"env", "-C", dir.file("work"),
                                         executable_path("Quillcast")};
        command.insert(command.end(), args.begin(), args.end());
        return run_command(command, env(backend, locale));
    }
    std::string work(const std::string& name) const { return dir.file("work/" + name); }

    // LibreOffice's reading of each document, in one run of its own profile.
    std::vector<std::vector<std::string>> libreoffice_read(const std::vector<std::string>& rtf) {
        std::vector<std::string> command{
            "soffice",       "-env:UserInstallation=file://" + dir.file("profile"),
            "--headless",    "--convert-to",
            "odt",           "--outdir",
            dir.file("read")};
        command.insert(command.end(), rtf.begin(), rtf.end());
        ProgramResult converted = run_command(command, {"HOME=" + dir.path().string()});
        std::vector<std::vector<std::string>> listings;
        for (const std::string& path : rtf) {
            std::string odt =
                dir.file("read/" + std::filesystem::path(path).stem().string() + ".odt");
            ProgramResult read = run_command({"/usr/bin/python3", kReader, odt});
            EXPECT_EQ(read.status, 0) << converted.err << read.err;
            listings.push_back(content_of(lines_of(read.out)));
        }
        return listings;
    }
    // unrtf's text of a document; the pictures it finds land in "read".
    ProgramResult unrtf_read(const std::string& rtf) {
        return run_command({"env", "-C", dir.file("read"), "unrtf", "--text", rtf});
    }

    TempDir dir;
};

TEST_F(QuillcastEndToEnd, OneArgumentGoesToTheClipboardAndLeavesNoFile) {
    write_file(work("lab.9xr"), lab_report());
    // A user's files of the names the first design used are never touched.
    write_file(work("tmprtfxx.rtf"), std::string("mine"));
    write_file(work("tmpbmp.bmp"), std::string("mine too"));
    ProgramResult result = run({"lab.9xr"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "lab.9xr to clipboard\nRich text copied to clipboard.\n");
    EXPECT_EQ(list_dir(dir.file("work")),
              (std::vector<std::string>{"lab.9xr", "tmpbmp.bmp", "tmprtfxx.rtf"}));
    EXPECT_EQ(read_file(work("tmprtfxx.rtf")), Bytes({'m', 'i', 'n', 'e'}));
    EXPECT_EQ(list_dir(dir.file("scratch")), std::vector<std::string>{});

    // The clipboard holds the document and, beside it, the report's picture.
    Bytes rich = read_file(dir.file("clipboard/rich.rtf"));
    ASSERT_TRUE(std::filesystem::exists(dir.file("clipboard/bitmap.bmp")));
    ProgramResult picture =
        run_command({"/usr/bin/python3", kReader, dir.file("clipboard/bitmap.bmp")});
    EXPECT_EQ(picture.out, box_picture_line() + "\n") << picture.err;

    // The same document as a named file.
    result = run({"lab.9xr", "lab.rtf"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "lab.9xr to lab.rtf\n");
    EXPECT_EQ(read_file(work("lab.rtf")), rich);
}

// On a real desktop (X11 on Xvfb, Wayland on headless sway): the document
// joins the report's picture on the desktop clipboard, where an independent
// client (xclip, wl-paste) finds both.
TEST_F(QuillcastEndToEnd, TheDesktopClipboardHoldsTheDocumentBesideThePicture) {
    write_file(work("lab.9xr"), lab_report());
    ProgramResult named = run({"lab.9xr", "lab.rtf"});
    ASSERT_EQ(named.status, 0);
    std::string skipped;
    for (Desktop kind : {Desktop::x11, Desktop::wayland}) {
        SCOPED_TRACE(desktop_name(kind));
        TestDesktop desktop(kind);
        if (desktop.tools_missing() && kind == Desktop::x11) {
            ADD_FAILURE() << "no X server for tests: " << desktop.failure();
        }
        if (desktop.tools_missing()) {
            skipped = desktop.failure();
            continue;
        }
        ASSERT_EQ(desktop.failure(), "");
        std::vector<std::string> env = desktop.env();
        env.insert(env.end(), {"TMPDIR=" + dir.file("scratch"), "LC_ALL=C"});
        ProgramResult result = run_executable("Quillcast", {work("lab.9xr")}, env);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.err.find("Rich text copied to clipboard.\n"), std::string::npos);
        std::vector<std::string> targets = desktop.targets();
        for (const char* target : {"text/rtf", "Rich Text Format", "image/bmp"}) {
            EXPECT_NE(std::find(targets.begin(), targets.end(), target), targets.end()) << target;
        }
        std::filesystem::create_directories(dir.file("read"));
        write_file(dir.file("read/clipboard.rtf"), desktop.paste("text/rtf"));
        write_file(dir.file("read/clipboard.bmp"), desktop.paste("image/bmp"));
        EXPECT_EQ(read_file(dir.file("read/clipboard.rtf")), read_file(work("lab.rtf")));
        ProgramResult picture =
            run_command({"/usr/bin/python3", kReader, dir.file("read/clipboard.bmp")});
        EXPECT_EQ(picture.out, box_picture_line() + "\n") << picture.err;
        EXPECT_EQ(list_dir(dir.file("scratch")), std::vector<std::string>{});
    }
    if (!skipped.empty()) {
        GTEST_SKIP() << skipped;
    }
}

TEST_F(QuillcastEndToEnd, FailuresAndUsage) {
    EXPECT_EQ(run({"/?"}).status, 0);
    ProgramResult bad = run({"a", "b", "c"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out.rfind("Quillcast 0.2\n", 0), 0u);

    // No arguments and no way to ask: the open dialog counts as cancelled.
    ProgramResult silent = run({});
    EXPECT_EQ(silent.status, 0);
    EXPECT_EQ(silent.err, "");

    write_file(work("lab.9xr"), lab_report());
    ProgramResult none = run({"lab.9xr"}, "none");
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err,
              "lab.9xr to clipboard\n"
              "Error: Unable to open clipboard.\n"  // the picture's trip
              "Error: Unable to open clipboard.\n");
    EXPECT_EQ(list_dir(dir.file("scratch")), std::vector<std::string>{});

    write_file(work("old.rtf"), std::string("old"));
    ProgramResult missing = run({"missing.9xt", "old.rtf"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "missing.9xt to old.rtf\nError: Unable to open missing.9xt.\n");
    EXPECT_EQ(read_file(work("old.rtf")), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(list_dir(dir.file("work")), (std::vector<std::string>{"lab.9xr", "old.rtf"}));
}

// Every kind of document, made by the program and read by real readers.
TEST_F(QuillcastEndToEnd, RealReadersSeeTheTextAndThePictures) {
    if (!tool_exists("soffice") || !tool_exists("unrtf")) {
        ADD_FAILURE() << "no RTF reader: soffice (libreoffice-writer-nogui) and unrtf";
        return;
    }
    write_file(work("lab.9xr"), lab_report());
    write_file(work("notes.9xt"), text_variable(" Title \x7F"
                                                "bbold\x7F"
                                                "b and \x7Fiitalic\x7Fi\rCcommand\r a\\b{c}d\x05"
                                                "e\r\x0CNext page\r x\xA4y\xA5z"));
    VariableFileSpec str;
    str.type_code = 12;
    str.data = string_data("first\rsecond");
    write_file(work("str.89s"), make_variable_file(str));

    struct Document {
        std::vector<std::string> args;
        std::vector<std::string> content;
        std::string unrtf_text;  // a piece unrtf must show
    };
    const std::vector<Document> documents = {
        {{"lab.9xr", "lab.rtf"},
         {"text Pendulum", "text g = 9.8", box_picture_line(), "text <b>done</b>",
          "text P:main\\a{b}"},
         "g = 9.8"},
        {{"lab.9xr", "colons.rtf", "/:", "/F", "Liberation Mono"},
         // Two non-breaking spaces stand before the picture.
         {"text  :Pendulum", "text  :g = 9.8", "text \u00A0\u00A0", box_picture_line(),
          "text  :<b>done</b>", "text P:main\\a{b}"},
         "Pendulum"},
        {{"notes.9xt", "notes.rtf"},
         {"text Title <b>bold</b> and <i>italic</i>", "text C:command", "text a\\b{c}d\\05e",
          "text Next page", "text x\u00A5y\u00A5z"},
         "a\\b{c}d\\05e"},
        {{"str.89s", "str.rtf"}, {"text first", "text second"}, "second"},
    };
    std::vector<std::string> rtf;
    for (const Document& document : documents) {
        ProgramResult result = run(document.args);
        ASSERT_EQ(result.status, 0) << result.err;
        rtf.push_back(work(document.args[1]));
    }
    std::vector<std::vector<std::string>> read = libreoffice_read(rtf);
    for (std::size_t i = 0; i < documents.size(); ++i) {
        EXPECT_EQ(read[i], documents[i].content) << rtf[i];
        ProgramResult text = unrtf_read(rtf[i]);
        EXPECT_EQ(text.status, 0) << text.err;
        EXPECT_NE(text.out.find(documents[i].unrtf_text), std::string::npos) << text.out;
    }
    // unrtf sees the document information and writes the picture it finds.
    ProgramResult report = unrtf_read(rtf[0]);
    EXPECT_NE(report.out.find("TITLE: TI-92P Lab Report - lab"), std::string::npos);
    EXPECT_NE(report.out.find("picture dimensions are 16 by 8"), std::string::npos);
    ProgramResult picture =
        run_command({"/usr/bin/python3", kReader, dir.file("read/pict001.bmp")});
    EXPECT_EQ(picture.out, box_picture_line() + "\n") << picture.err;
}

// In a UTF-8 locale, and with --utf8 (--unicode) in any, the calculator's
// characters read right without its font, in LibreOffice and, spelt in ASCII,
// in a reader without Unicode. The C locale and --bytes keep the document of
// the calculator's bytes in its font.
TEST_F(QuillcastEndToEnd, UnicodeDocumentReadsRightWithoutTheCalculatorFont) {
    if (!tool_exists("soffice") || !tool_exists("unrtf")) {
        ADD_FAILURE() << "no RTF reader: soffice (libreoffice-writer-nogui) and unrtf";
        return;
    }
    write_file(work("symbols.9xt"), text_variable(" 5\x16x \x80 \x81 \x8C\r a\x9C"
                                                  "b \x88\x9A\r x\xA4y\xE9\x05"));
    const std::string utf8 = "LC_ALL=C.UTF-8";
    for (const auto& [args, locale] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"symbols.9xt", "symbols.rtf"}, utf8},
             {{"symbols.9xt", "utf8.rtf", "--utf8"}, "LC_ALL=C"},
             {{"symbols.9xt", "unicode.rtf", "--unicode"}, "LC_ALL=C"},
             {{"symbols.9xt", "c.rtf"}, "LC_ALL=C"},
             {{"symbols.9xt", "bytes.rtf", "--bytes"}, utf8}}) {
        ProgramResult result = run(args, "files", locale);
        ASSERT_EQ(result.status, 0) << result.err;
    }
    EXPECT_EQ(read_file(work("utf8.rtf")), read_file(work("symbols.rtf")));
    EXPECT_EQ(read_file(work("unicode.rtf")), read_file(work("symbols.rtf")));
    EXPECT_EQ(read_file(work("bytes.rtf")), read_file(work("c.rtf")));
    const std::string calculator_prolog = expected_prolog("92P", "TEXT", "notes", "TEXT");
    EXPECT_EQ(as_text(read_file(work("c.rtf"))).substr(0, calculator_prolog.size()),
              calculator_prolog);

    EXPECT_EQ(libreoffice_read({work("symbols.rtf")})[0],
              (std::vector<std::string>{"text 5\u2192x \u03B1 \u03B2 \u03C0",
                                        "text a\u2264"
                                        "b \u03B8x\u0305",
                                        "text x\u00A4y\u00E9\\05"}));
    run_command({"soffice", "-env:UserInstallation=file://" + dir.file("profile"), "--headless",
                 "--convert-to", "txt:Text (encoded):UTF8", "--outdir", dir.file("read"),
                 work("symbols.rtf")},
                {"HOME=" + dir.path().string()});
    const std::string text = as_text(read_file(dir.file("read/symbols.txt")));
    for (const char* shown :
         {"5\u2192x", "a\u2264b", "\u03C0", "\u03B8", "x\u0305", "\u00A4y\u00E9\\05"}) {
        EXPECT_NE(text.find(shown), std::string::npos) << shown << " in " << text;
    }
    EXPECT_NE(unrtf_read(work("symbols.rtf")).out.find("5->x"), std::string::npos);
}

// The demo's lab report: the committed file is what its script makes, and
// LibreOffice shows its text, its string and its picture in place.
TEST_F(QuillcastEndToEnd, TheExampleLabReport) {
    const std::string examples = VARKIT_EXAMPLES_DIR;
    ProgramResult made = run_command({"/usr/bin/python3", examples + "/make_lab_report.py",
                                      examples + "/smiley.9xi", work("made.9xr")});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(read_file(work("made.9xr")), read_file(examples + "/pendulum.9xr"));

    ProgramResult result = run({examples + "/pendulum.9xr", "pendulum.rtf"});
    ASSERT_EQ(result.status, 0) << result.err;
    if (!tool_exists("soffice")) {
        ADD_FAILURE() << "no RTF reader: soffice (libreoffice-writer-nogui)";
        return;
    }
    std::vector<std::string> read = libreoffice_read({work("pendulum.rtf")})[0];
    ASSERT_EQ(read.size(), 7u);
    EXPECT_EQ(read[0], "text Pendulum lab");
    EXPECT_EQ(read[1], "text C: Ten swings timed");
    EXPECT_EQ(read[3], "text g = 9.81 m/s^2");
    EXPECT_EQ(read[5].substr(0, 22), "picture 28x20 ........");
    EXPECT_EQ(read[6], "text <b>Done.</b>");
}

// Real calculator files, where the samples are at hand.
TEST_F(QuillcastEndToEnd, SampleTextsAndStrings) {
    if (!tool_exists("unrtf")) {
        ADD_FAILURE() << "no RTF reader: unrtf";
        return;
    }
    struct Sample {
        const char* path;
        const char* text;
    };
    int found = 0;
    for (Sample sample :
         {Sample{"written-by-libtifiles/txt.89t", "This is a text !!!"},
          Sample{"written-by-libtifiles/group.txt.92t", "This is a text !!!"},
          Sample{"written-by-libtifiles/str.89s", "abc"}, Sample{"calculator/str.92s", "abc"}}) {
        std::string path = sample_path(sample.path);
        if (path.empty()) {
            continue;
        }
        ++found;
        ProgramResult result = run({path, "sample.rtf"});
        EXPECT_EQ(result.status, 0) << sample.path << result.err;
        ProgramResult text = unrtf_read(work("sample.rtf"));
        EXPECT_EQ(text.status, 0);
        EXPECT_NE(text.out.find(sample.text), std::string::npos) << text.out;
        Bytes document = read_file(work("sample.rtf"));
        EXPECT_EQ(std::count(document.begin(), document.end(), '{'),
                  std::count(document.begin(), document.end(), '}'))
            << sample.path;
    }
    if (found == 0) {
        GTEST_SKIP() << "no samples";
    }
}

}  // namespace
}  // namespace varkit::testing
