// The one interface between the programs and the desktop: clipboard, device
// bitmaps, dialogs, sound and shell. Each operation mirrors one desktop call
// the programs make and keeps its success/failure meaning, so a program performs
// its steps in order and prints its own message for each failure.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkit {

// A monochrome device bitmap as the programs describe it: type 0, width,
// height, bytes per scan line (a whole number of 16-bit words), 1 plane,
// 1 bit per pixel, and the bits with rows top first. A 0 bit shows black,
// a 1 bit white.
struct DeviceBitmap {
    int type = 0;
    int width = 0;
    int height = 0;
    int row_length = 0;
    int planes = 1;
    int bits_per_pixel = 1;
    std::vector<std::uint8_t> bits;
};

// A file-type filter of an open or save dialog: a label and its patterns
// separated by ';' (for example "TEXT var", "*.89T;*.92T;*.9xT").
struct FileFilter {
    std::string label;
    std::string patterns;
};

// The clipboard's CF_TEXT, or why there is none.
struct ClipboardText {
    std::optional<std::string> text;  // up to its terminating zero
    // No text because the desktop's only text was Unicode holding a character
    // the calculator lacks: that character.
    std::optional<char32_t> lacking;
};

struct FileDialog {
    std::string title;
    std::vector<FileFilter> filters;
    std::string default_extension;  // without the dot; empty for none
    std::string initial_name;       // what the name buffer holds when the dialog opens
};

class Platform {
  public:
    virtual ~Platform() = default;

    // Clipboard. open takes no owner; close follows every successful open.
    virtual bool clipboard_open() = 0;
    virtual bool clipboard_empty() = 0;
    // CF_TEXT: the bytes without their terminating zero (the backend adds it).
    virtual bool clipboard_set_text(std::string_view text) = 0;
    // CF_BITMAP: on success the clipboard holds its own copy of the bitmap.
    virtual bool clipboard_set_bitmap(const DeviceBitmap& bitmap) = 0;
    // The registered "Rich Text Format".
    virtual bool clipboard_set_rich_text(std::string_view rtf) = 0;
    // CF_TEXT: the text up to its terminating zero, or nothing when the
    // clipboard holds no text.
    virtual ClipboardText clipboard_get_text() = 0;
    // CF_DIB: the packed device-independent bitmap (information header,
    // colour table, rows bottom-up); its size is the block's size.
    virtual std::optional<std::vector<std::uint8_t>> clipboard_get_dib() = 0;
    virtual void clipboard_close() = 0;

    // CreateBitmapIndirect: checks the description and makes the bitmap, or
    // fails.
    virtual std::optional<DeviceBitmap> create_bitmap(const DeviceBitmap& description) = 0;

    // Common dialogs: the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> open_file_dialog(const FileDialog& dialog) = 0;
    virtual std::optional<std::string> save_file_dialog(const FileDialog& dialog) = 0;
    // Font dialog: the chosen face name, or nothing when cancelled.
    virtual std::optional<std::string> font_dialog() = 0;

    // The desktop's default event sound, played to its end.
    virtual void play_default_sound() = 0;
    // Opens a document with the desktop's application for it, not waiting.
    virtual void open_document(const std::string& path) = 0;
};

// The backend for this run: VARKIT_CLIPBOARD=x11|wayland|files|none forces
// one; otherwise the Wayland desktop when its compositor offers data control,
// else the X11 desktop when a display can be opened, else the shared
// clipboard folder.
std::unique_ptr<Platform> make_platform();

// What one program run works with: its output and error streams and the
// platform. main() passes the real ones; tests pass memory streams and a
// fake platform.
struct Runtime {
    FILE* out;
    FILE* err;
    Platform& platform;
};

}  // namespace varkit
