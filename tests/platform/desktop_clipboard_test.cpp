// The desktop clipboards against real independent clients on desktops of the
// test's own: the X11 clipboard beside xclip on Xvfb, the Wayland clipboard
// beside wl-copy and wl-paste on headless sway; images are read back with
// Debian's Python imaging library.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/desktop_platform.h"
#include "platform/dib.h"
#include "platform/wayland/data_control.h"
#include "platform/wayland/wayland_clipboard.h"
#include "platform/x11/selection_reader.h"
#include "platform/x11/x11_clipboard.h"
#include "platform/x11/xcb_link.h"
#include "tests/support/env_override.h"
#include "tests/support/program_run.h"
#include "tests/support/test_desktop.h"
#include "tests/support/test_files.h"
#include "tests/support/tool_run.h"
#include "tests/support/xvfb_server.h"
#include "varfile/byte_order.h"

namespace varkit::testing {
namespace {

constexpr const char* kImageReader = "/usr/bin/python3";

// Prints an image's size and then one character per pixel, '#' for the dark
// ones and '.' for the light ones, rows top first.
constexpr const char* kPixelScript = R"(
import sys
from PIL import Image
image = Image.open(sys.argv[1]).convert('L')
print(image.size[0], image.size[1])
print(''.join('#' if p < 128 else '.' for p in image.getdata()))
)";

bool image_reader_present() {
    return run_tool({kImageReader, "-c", "import PIL"}).status == 0;
}

bool lists(const std::vector<std::string>& targets, const std::string& target) {
    return std::find(targets.begin(), targets.end(), target) != targets.end();
}

std::string all_bytes_but_zero() {
    std::string bytes;
    for (int b = 1; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

// 21 x 7 with a different pattern in every row, so any flip or shift shows.
DeviceBitmap test_bitmap() {
    DeviceBitmap bitmap;
    bitmap.width = 21;
    bitmap.height = 7;
    bitmap.row_length = 4;
    for (int y = 0; y < bitmap.height; ++y) {
        for (int i = 0; i < bitmap.row_length; ++i) {
            bitmap.bits.push_back(static_cast<std::uint8_t>(0x35 * (y + 1) + 0x1D * i));
        }
    }
    return bitmap;
}

// What an image reader should see: a 0 bit is a pixel that is on, black.
std::string expected_pixels(const DeviceBitmap& bitmap) {
    std::string pixels = std::to_string(bitmap.width) + " " + std::to_string(bitmap.height) + "\n";
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            int bit = (bitmap.bits[y * bitmap.row_length + x / 8] >> (7 - x % 8)) & 1;
            pixels += bit == 0 ? '#' : '.';
        }
    }
    return pixels + "\n";
}

std::string pixels_of(const std::string& image) {
    TempDir dir;
    write_file(dir.file("image"), image);
    return run_tool({kImageReader, "-c", kPixelScript, dir.file("image")}).out;
}

std::string bytes_to_string(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Waits a little for a process to be gone (or to be a zombie nobody reaped).
bool process_ends(pid_t pid) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.find(") Z") != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool put_text(Platform& p, const std::string& text) {
    bool done = p.clipboard_open() && p.clipboard_empty() && p.clipboard_set_text(text);
    p.clipboard_close();
    return done;
}

ClipboardText read_text(Platform& p) {
    ClipboardText text;
    if (p.clipboard_open()) {
        text = p.clipboard_get_text();
    }
    p.clipboard_close();
    return text;
}

std::optional<std::string> get_text(Platform& p) {
    return read_text(p).text;
}

std::optional<std::vector<std::uint8_t>> get_dib(Platform& p) {
    std::optional<std::vector<std::uint8_t>> dib;
    if (p.clipboard_open()) {
        dib = p.clipboard_get_dib();
    }
    p.clipboard_close();
    return dib;
}

// CI installs every tool, so there a missing one is a failure.
void missing(const std::string& reason) {
    if (std::getenv("CI") != nullptr) {
        FAIL() << reason;
    }
    GTEST_SKIP() << reason;
}

// One desktop clipboard backend and the desktop it works on.
class ClipboardOnDesktop : public ::testing::Test {
  protected:
    virtual Desktop desktop() const = 0;

    void SetUp() override {
        desktop_ = std::make_unique<TestDesktop>(desktop());
        if (desktop_->tools_missing()) {
            missing(desktop_->failure());
            return;
        }
        ASSERT_EQ(desktop_->failure(), "");
        env_.set("VARKIT_CLIPBOARD", desktop() == Desktop::x11 ? "x11" : "wayland");
        env_.set("VARKIT_CLIPBOARD_DIR", lock_dir_.file("lock"));
    }

    void require_image_reader() {
        if (!image_reader_present()) {
            missing("no Python imaging library for /usr/bin/python3 (Debian package python3-pil)");
        }
    }

    // A platform over this desktop's backend, which the test can also reach
    // directly.
    std::unique_ptr<Platform> platform(SelectionClipboard** clipboard = nullptr) {
        std::string folder = lock_dir_.file("lock");
        const bool x11 = desktop() == Desktop::x11;
        return std::make_unique<DesktopPlatform>([folder, clipboard, x11] {
            std::unique_ptr<SelectionClipboard> made;
            if (x11) {
                made = std::make_unique<x11::X11Clipboard>(folder);
            } else {
                made = std::make_unique<wayland::WaylandClipboard>(folder);
            }
            if (clipboard != nullptr) {
                *clipboard = made.get();
            }
            return made;
        });
    }

    ProgramResult probe(const std::string& command, const std::string& bytes) {
        write_file(lock_dir_.file("probe-input"), bytes);
        return run_executable("clipboard_probe", {command, lock_dir_.file("probe-input")});
    }

    std::string paste(const std::string& target) { return desktop_->paste(target); }
    int copy(const std::string& target, const std::string& bytes) {
        return desktop_->copy(target, bytes);
    }

    TempDir lock_dir_;
    EnvOverride env_;
    std::unique_ptr<TestDesktop> desktop_;
};

class DesktopClipboard : public ClipboardOnDesktop, public ::testing::WithParamInterface<Desktop> {
  protected:
    Desktop desktop() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(, DesktopClipboard, ::testing::Values(Desktop::x11, Desktop::wayland),
                         [](const auto& info) { return desktop_name(info.param); });

// What only X11 has.
class X11Clipboard : public ClipboardOnDesktop {
  protected:
    Desktop desktop() const override { return Desktop::x11; }
};

// What only Wayland has.
class WaylandClipboard : public ClipboardOnDesktop {
  protected:
    Desktop desktop() const override { return Desktop::wayland; }
};

TEST_P(DesktopClipboard, TextSetByUsIsReadByTheOtherClientByteExactAfterOurProcessEnded) {
    ASSERT_EQ(probe("put-text", "first line\r\nsecond\tline\r\n").status, 0);
    EXPECT_EQ(paste("UTF8_STRING"), "first line\r\nsecond\tline\r\n");
    const std::vector<std::string> listed = desktop_->targets();
    for (const char* target :
         {"UTF8_STRING", "STRING", "TEXT", "text/plain", "text/plain;charset=utf-8"}) {
        EXPECT_TRUE(lists(listed, target)) << target;
    }
    for (const char* target : {"TARGETS", "TIMESTAMP", "MULTIPLE"}) {
        EXPECT_EQ(lists(listed, target), GetParam() == Desktop::x11) << target;
    }

    // Every byte value: as STRING byte for byte, as UTF8_STRING through the
    // calculator's character table (an escaped symbol as its character, a
    // control byte as itself), and back to us unchanged.
    ASSERT_EQ(probe("put-text", all_bytes_but_zero()).status, 0);
    EXPECT_EQ(paste("STRING"), all_bytes_but_zero());
    ASSERT_EQ(probe("put-text", "caf\xE9 \xFF 5\\\\22x \x8C\x9A\x01").status, 0);
    EXPECT_EQ(paste("UTF8_STRING"), "caf\u00E9 \u00FF 5\u2192x \u03C0x\u0305\x01");
    auto p = platform();
    ASSERT_TRUE(put_text(*p, all_bytes_but_zero()));
    EXPECT_EQ(get_text(*p), all_bytes_but_zero());
}

TEST_P(DesktopClipboard, TextSetByTheOtherClientIsReadByUs) {
    auto p = platform();
    ASSERT_EQ(copy("UTF8_STRING", "caf\xC3\xA9 a\u2264b \u2192\r\n"), 0);
    EXPECT_EQ(get_text(*p),
              "caf\xE9 a\x9C"
              "b \\\\22\r\n");
    // xclip answers every target with its UTF-8 text, and wl-copy offers it
    // as every text type, which holds a character the calculator lacks: it
    // is named.
    ASSERT_EQ(copy("UTF8_STRING", "caf\xC3\xA9 \xE2\x82\xAC\r\n"), 0);
    ClipboardText lacking = read_text(*p);
    EXPECT_EQ(lacking.text, std::nullopt);
    EXPECT_EQ(lacking.lacking, U'\u20AC');
    ASSERT_EQ(copy("STRING", "\xE9t\xE9\r\n"), 0);
    EXPECT_EQ(get_text(*p), "\xE9t\xE9\r\n");
    ASSERT_EQ(copy("image/png", "not text"), 0);
    EXPECT_EQ(get_text(*p), std::nullopt);
}

TEST_P(DesktopClipboard, BitmapIsReadByTheOtherClientAsPngAndBmpWithTheSamePixels) {
    require_image_reader();
    auto p = platform();
    const DeviceBitmap bitmap = test_bitmap();
    ASSERT_TRUE(p->clipboard_open());
    ASSERT_TRUE(p->clipboard_empty());
    ASSERT_TRUE(p->clipboard_set_bitmap(bitmap));
    p->clipboard_close();

    const std::string png = paste("image/png");
    const std::string bmp = paste("image/bmp");
    EXPECT_EQ(pixels_of(png), expected_pixels(bitmap));
    EXPECT_EQ(pixels_of(bmp), expected_pixels(bitmap));
    const std::vector<std::uint8_t> dib = synthesize_dib(bitmap);
    auto header = bmp_file_header(dib);
    EXPECT_EQ(bmp, std::string(header.begin(), header.end()) + bytes_to_string(dib));
    EXPECT_EQ(get_dib(*p), dib);
}

TEST_P(DesktopClipboard, ImagesFromOtherProgramsComeBackAtTheirOwnDepth) {
    require_image_reader();
    TempDir dir;
    ASSERT_EQ(
        run_tool({kImageReader, "-c",
                  "import sys\nfrom PIL import Image\n"
                  "Image.new('RGB', (4, 3), (200, 10, 10)).save(sys.argv[1] + '/colour.png')\n"
                  "mono = Image.new('1', (9, 2), 1)\nmono.putpixel((0, 0), 0)\nmono.putpixel((8, "
                  "1), 0)\n"
                  "mono.save(sys.argv[1] + '/mono.png')\n",
                  dir.path().string()})
            .status,
        0);
    auto p = platform();

    ASSERT_EQ(copy("image/png", bytes_to_string(read_file(dir.file("colour.png")))), 0);
    auto colour = get_dib(*p);
    ASSERT_TRUE(colour.has_value());
    EXPECT_EQ(read_le16(colour->data() + 14), 24);  // refused later as not monochrome
    EXPECT_EQ(read_le32(colour->data() + 4), 4u);

    ASSERT_EQ(copy("image/png", bytes_to_string(read_file(dir.file("mono.png")))), 0);
    auto mono = get_dib(*p);
    ASSERT_TRUE(mono.has_value());
    ASSERT_EQ(read_le16(mono->data() + 14), 1);
    DeviceBitmap expected;
    expected.width = 9;
    expected.height = 2;
    expected.row_length = 2;
    expected.bits = {0x7F, 0x80, 0xFF, 0x00};  // (0,0) and (8,1) black
    EXPECT_EQ(mono, synthesize_dib(expected));
}

TEST_P(DesktopClipboard, RichTextIsReadByTheOtherClientAsRtf) {
    auto p = platform();
    const std::string rtf = "{\\rtf1\\ansi {\\b bold} \\'e9}";
    ASSERT_TRUE(p->clipboard_open());
    ASSERT_TRUE(p->clipboard_empty());
    ASSERT_TRUE(p->clipboard_set_rich_text(rtf));
    p->clipboard_close();
    EXPECT_EQ(paste("text/rtf"), rtf);
    EXPECT_EQ(paste("application/rtf"), rtf);
}

// On X11 both sides send this size incrementally (INCR); on Wayland it is
// more than a pipe holds.
TEST_P(DesktopClipboard, MegabyteTextCrossesBothWays) {
    std::string text;
    while (text.size() < (1u << 20)) {
        text += "line " + std::to_string(text.size()) + " of a long calculator text\r\n";
    }
    text.resize(1u << 20);
    ASSERT_EQ(probe("put-text", text).status, 0);
    EXPECT_TRUE(paste("UTF8_STRING") == text);
    ASSERT_EQ(copy("UTF8_STRING", text), 0);
    auto p = platform();
    EXPECT_TRUE(get_text(*p) == text);
}

TEST_P(DesktopClipboard, SettingWithoutEmptyingKeepsTheBitmapAndAddsRichText) {
    const DeviceBitmap bitmap = test_bitmap();
    std::string description{static_cast<char>(bitmap.width), 0, static_cast<char>(bitmap.height),
                            0};
    description += bytes_to_string(bitmap.bits);
    ASSERT_EQ(probe("put-bitmap", description).status, 0);
    ASSERT_EQ(probe("add-rich", "{\\rtf1 joined}").status, 0);

    const std::vector<std::string> listed = desktop_->targets();
    for (const char* target : {"image/bmp", "image/png", "text/rtf", "application/rtf"}) {
        EXPECT_TRUE(lists(listed, target)) << target;
    }
    EXPECT_EQ(paste("text/rtf"), "{\\rtf1 joined}");
    auto p = platform();
    EXPECT_EQ(get_dib(*p), synthesize_dib(bitmap));
}

TEST_P(DesktopClipboard, EmptyOrAnotherClientsCopyEndsOurServer) {
    SelectionClipboard* clipboard = nullptr;
    auto p = platform(&clipboard);
    ASSERT_TRUE(put_text(*p, "soon gone"));
    pid_t server = clipboard->serving_child();
    ASSERT_GT(server, 0);
    EXPECT_NE(getsid(server), getsid(0));  // a session of its own
    ASSERT_TRUE(p->clipboard_open());
    ASSERT_TRUE(p->clipboard_empty());
    EXPECT_EQ(p->clipboard_get_text().text, std::nullopt);
    p->clipboard_close();
    EXPECT_TRUE(process_ends(server));
    EXPECT_EQ(paste("UTF8_STRING"), "(paste failed)");

    ASSERT_TRUE(put_text(*p, "taken over"));
    server = clipboard->serving_child();
    ASSERT_EQ(copy("text/plain", "theirs"), 0);
    EXPECT_TRUE(process_ends(server));
}

TEST_P(DesktopClipboard, AnOwnerThatStoppedAnsweringMakesGetFailInsteadOfHanging) {
    SelectionClipboard* clipboard = nullptr;
    auto p = platform(&clipboard);
    ASSERT_TRUE(put_text(*p, "frozen"));
    const pid_t server = clipboard->serving_child();
    ASSERT_GT(server, 0);
    ASSERT_EQ(kill(server, SIGSTOP), 0);
    EXPECT_EQ(get_text(*p), std::nullopt);
    kill(server, SIGKILL);
}

TEST_P(DesktopClipboard, AnOwnerThatTricklesPiecesIsGivenUpOnAsAWhole) {
    SelectionClipboard* clipboard = nullptr;
    auto p = platform(&clipboard);
    ASSERT_TRUE(put_text(*p, std::string(8u << 20, 'x')));
    const pid_t server = clipboard->serving_child();
    ASSERT_GT(server, 0);
    // Every piece comes within the wait for one piece, but the transfer would
    // take far longer than a whole one may.
    std::atomic<bool> reading = true;
    std::thread trickle([&] {
        while (reading) {
            kill(server, SIGCONT);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            kill(server, SIGSTOP);
            std::this_thread::sleep_for(std::chrono::seconds(2));
        }
        kill(server, SIGKILL);
    });
    EXPECT_EQ(get_text(*p), std::nullopt);
    reading = false;
    trickle.join();
}

std::string property_bytes(x11::XcbLink& link, xcb_atom_t property) {
    auto cookie = xcb_get_property(link.connection(), 0, link.window(), property,
                                   XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 16);
    auto reply = link.reply<xcb_get_property_reply_t>(cookie.sequence, answer_deadline());
    if (!reply) {
        return "(no reply)";
    }
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

// xclip asks neither, so the test asks them itself.
TEST_F(X11Clipboard, OurServerAnswersTimestampAndMultiple) {
    auto p = platform();
    ASSERT_TRUE(put_text(*p, "several at once"));
    auto link = x11::XcbLink::connect();
    ASSERT_TRUE(link);
    auto reader = x11::SelectionReader::start(*link);
    ASSERT_TRUE(reader);
    auto atoms =
        link->atoms({"TIMESTAMP", "CLIPBOARD", "MULTIPLE", "ATOM_PAIR", "UTF8_STRING", "image/gif",
                     "VARKIT_TEST_TEXT", "VARKIT_TEST_GIF", "VARKIT_TEST_PAIRS"});
    auto stamp = reader->convert(atoms[0]);
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->type, XCB_ATOM_INTEGER);
    EXPECT_EQ(stamp->bytes.size(), 4u);

    // Two conversions in one request: text, which we have, and a GIF, which
    // we do not; the failed pair comes back with None for its target.
    const xcb_atom_t pairs[] = {atoms[4], atoms[6], atoms[5], atoms[7]};
    xcb_change_property(link->connection(), XCB_PROP_MODE_REPLACE, link->window(), atoms[8],
                        atoms[3], 32, 4, pairs);
    xcb_convert_selection(link->connection(), link->window(), atoms[1], atoms[2], atoms[8],
                          XCB_CURRENT_TIME);
    xcb_atom_t answered = XCB_ATOM_NONE;
    const auto deadline = answer_deadline();
    while (auto event = link->next_event(deadline)) {
        if ((event->response_type & 0x7F) == XCB_SELECTION_NOTIFY) {
            answered = reinterpret_cast<xcb_selection_notify_event_t*>(event.get())->property;
            break;
        }
    }
    ASSERT_EQ(answered, atoms[8]);
    EXPECT_EQ(property_bytes(*link, atoms[6]), "several at once");
    std::string answered_pairs = property_bytes(*link, atoms[8]);
    ASSERT_EQ(answered_pairs.size(), sizeof pairs);
    xcb_atom_t after[4];
    std::memcpy(after, answered_pairs.data(), sizeof after);
    EXPECT_EQ(after[0], atoms[4]);
    EXPECT_EQ(after[2], xcb_atom_t{XCB_ATOM_NONE});
}

TEST_F(X11Clipboard, WithoutAChoiceTheDisplayDecidesTheBackend) {
    env_.remove("VARKIT_CLIPBOARD");
    auto on_display = make_platform();
    ASSERT_TRUE(put_text(*on_display, "to the desktop"));
    EXPECT_EQ(paste("UTF8_STRING"), "to the desktop");

    env_.set("DISPLAY", ":65000");  // nothing listens there
    auto headless = make_platform();
    ASSERT_TRUE(put_text(*headless, "to the folder"));
    EXPECT_EQ(bytes_to_string(read_file(lock_dir_.file("lock") + "/text.txt")), "to the folder");
}

// Debian's compositors offer only wlroots' data control, so only it meets a
// real compositor here; the standard protocol's messages must be the same,
// name for name and argument for argument, for the one logic to speak both.
TEST(DataControlProtocols, TheStandardOneHasTheMessagesOfWlrootsOwn) {
    auto messages = [](const wl_message* list, int count) {
        std::vector<std::string> described;
        for (int i = 0; i < count; ++i) {
            std::string signature = list[i].signature;
            signature.erase(0, signature.find_first_not_of("0123456789"));  // since version
            described.push_back(std::string(list[i].name) + "(" + signature + ")");
        }
        return described;
    };
    using wayland::kExtDataControl;
    using wayland::kWlrDataControl;
    for (auto member :
         {&wayland::DataControlProtocol::manager, &wayland::DataControlProtocol::device,
          &wayland::DataControlProtocol::source, &wayland::DataControlProtocol::offer}) {
        const wl_interface* ext = kExtDataControl.*member;
        const wl_interface* wlr = kWlrDataControl.*member;
        SCOPED_TRACE(ext->name);
        EXPECT_EQ(messages(ext->methods, ext->method_count),
                  messages(wlr->methods, wlr->method_count));
        EXPECT_EQ(messages(ext->events, ext->event_count), messages(wlr->events, wlr->event_count));
    }
}

// Without a choice, a compositor with data control gets the Wayland
// clipboard, even with its XWayland's display set too (whose selection it
// would not pass on to Wayland applications); one without (weston, like
// GNOME) leaves the clipboard to the X display, else to the folder.
TEST(DesktopChoice, DataControlFirstThenTheXDisplayThenTheFolder) {
    using Kind = WaylandCompositor::Kind;
    struct Case {
        Kind compositor;
        bool own_x_display;
        std::string reader;
    };
    for (const Case& c : {Case{Kind::sway_with_xwayland, false, "wl-paste"},
                          Case{Kind::weston, true, "xclip"}, Case{Kind::weston, false, "folder"}}) {
        SCOPED_TRACE(c.reader);
        WaylandCompositor compositor(c.compositor);
        if (compositor.tools_missing()) {
            missing(compositor.failure());
            return;
        }
        ASSERT_EQ(compositor.failure(), "");
        std::unique_ptr<XvfbServer> xvfb =
            c.own_x_display ? std::make_unique<XvfbServer>() : nullptr;
        TempDir dir;
        EnvOverride env;
        env.remove("VARKIT_CLIPBOARD");
        env.set("VARKIT_CLIPBOARD_DIR", dir.file("clipboard"));
        env.set("WAYLAND_DISPLAY", compositor.socket());
        if (xvfb || !compositor.x_display().empty()) {
            env.set("DISPLAY", xvfb ? xvfb->display() : compositor.x_display());
        } else {
            env.remove("DISPLAY");
        }

        // Plaincast writes the text file with the clipboard's bytes.
        ProgramResult cast = run_executable(
            "Plaincast", {std::string(VARKIT_EXAMPLES_DIR) + "/notes.89t", dir.file("notes.txt")},
            {"LC_ALL=C"});
        ASSERT_EQ(cast.err.rfind("Text copied to clipboard.\n", 0), 0u) << cast.err;
        std::string found = c.reader == "wl-paste" ? run_tool({"wl-paste", "--no-newline"}).out
                            : c.reader == "xclip"
                                ? run_tool({"xclip", "-selection", "clipboard", "-o"}).out
                                : bytes_to_string(read_file(dir.file("clipboard/text.txt")));
        EXPECT_EQ(found, bytes_to_string(read_file(dir.file("notes.txt"))));
    }
}

// A compositor that stops answering mid-run fails each clipboard step within
// its deadlines; a program that wants it says so in the clipboard's error
// line, and one that may choose takes the folder.
TEST_F(WaylandClipboard, AStoppedCompositorFailsInsteadOfHanging) {
    auto p = platform();
    ASSERT_TRUE(p->clipboard_open());
    const pid_t compositor = desktop_->compositor()->pid();
    ASSERT_EQ(kill(compositor, SIGSTOP), 0);
    EXPECT_EQ(p->clipboard_get_text().text, std::nullopt);
    p->clipboard_close();

    const std::string notes = std::string(VARKIT_EXAMPLES_DIR) + "/notes.89t";
    ProgramResult forced = run_executable("Plaincast", {notes});
    EXPECT_EQ(forced.err, "Error: Unable to open clipboard.\n");
    EXPECT_EQ(forced.status, 1);
    ProgramResult chosen = run_executable("Plaincast", {notes}, {"VARKIT_CLIPBOARD="});
    EXPECT_EQ(chosen.err, "Text copied to clipboard.\n");
    EXPECT_TRUE(std::filesystem::exists(lock_dir_.file("lock/text.txt")));
    kill(compositor, SIGCONT);
}

}  // namespace
}  // namespace varkit::testing
