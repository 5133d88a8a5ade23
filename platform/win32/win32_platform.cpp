#include "platform/win32/win32_platform.h"

// windows.h first: the other Windows headers build on it.
// clang-format off
#include <windows.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>
// clang-format on

#include <cstring>

#include "platform/dib.h"

namespace varkit {
namespace {

// The programs' file name buffers hold 260 bytes.
constexpr std::size_t kPathBuffer = 260;

// A movable, zeroed, shareable global memory block holding `bytes` and a
// terminating zero, as the clipboard takes text; nullptr when none could be
// had.
HGLOBAL zero_terminated_block(std::string_view bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, bytes.size() + 1);
    if (block == nullptr) {
        return nullptr;
    }
    void* memory = GlobalLock(block);
    if (memory == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(memory, bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

// Hands a block to the clipboard; on failure the block is still ours and
// freed.
bool set_block(UINT format, std::string_view bytes) {
    HGLOBAL block = zero_terminated_block(bytes);
    if (block == nullptr) {
        return false;
    }
    if (SetClipboardData(format, block) == nullptr) {
        GlobalFree(block);
        return false;
    }
    return true;
}

// The bytes of the clipboard's block in `format`, the whole block as
// GlobalSize tells it.
std::optional<std::string> block_bytes(UINT format) {
    HANDLE block = GetClipboardData(format);
    if (block == nullptr) {
        return std::nullopt;
    }
    const void* memory = GlobalLock(block);
    if (memory == nullptr) {
        return std::nullopt;
    }
    std::string bytes(static_cast<const char*>(memory), GlobalSize(block));
    GlobalUnlock(block);
    return bytes;
}

HBITMAP make_device_bitmap(const DeviceBitmap& description) {
    if (!is_valid_monochrome(description)) {
        return nullptr;  // GDI would read past the bits
    }
    BITMAP bitmap{};
    bitmap.bmType = description.type;
    bitmap.bmWidth = description.width;
    bitmap.bmHeight = description.height;
    bitmap.bmWidthBytes = description.row_length;
    bitmap.bmPlanes = static_cast<WORD>(description.planes);
    bitmap.bmBitsPixel = static_cast<WORD>(description.bits_per_pixel);
    bitmap.bmBits = const_cast<std::uint8_t*>(description.bits.data());
    return CreateBitmapIndirect(&bitmap);
}

// "label\0patterns\0...\0\0", what the common dialogs take as their filter.
std::string filter_list(const std::vector<FileFilter>& filters) {
    std::string list;
    for (const FileFilter& filter : filters) {
        list += filter.label;
        list += '\0';
        list += filter.patterns;
        list += '\0';
    }
    list += '\0';
    return list;
}

enum class DialogKind { open, save };

std::optional<std::string> choose_file(DialogKind kind, const FileDialog& dialog) {
    char name[kPathBuffer] = {};
    std::strncpy(name, dialog.initial_name.c_str(), sizeof name - 1);
    const std::string filter = filter_list(dialog.filters);
    OPENFILENAMEA chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.lpstrFilter = dialog.filters.empty() ? nullptr : filter.c_str();
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = name;
    chooser.nMaxFile = sizeof name;
    chooser.lpstrTitle = dialog.title.c_str();
    chooser.lpstrDefExt =
        dialog.default_extension.empty() ? nullptr : dialog.default_extension.c_str();
    chooser.Flags =
        OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_LONGNAMES;
    if (kind == DialogKind::open) {
        chooser.Flags |= OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    }
    BOOL chosen =
        kind == DialogKind::open ? GetOpenFileNameA(&chooser) : GetSaveFileNameA(&chooser);
    return chosen ? std::optional<std::string>(name) : std::nullopt;
}

}  // namespace

// A stand-in clipboard is kept as the desktop platforms of Unix keep theirs:
// it opens once, every other operation needs it open, and a bitmap goes to it
// as the CF_DIB block the Windows clipboard would make of it.
bool Win32Platform::clipboard_open() {
    if (!stand_in_) {
        return OpenClipboard(nullptr);
    }
    if (stand_in_open_ || !stand_in_->open()) {
        return false;
    }
    stand_in_open_ = true;
    return true;
}

bool Win32Platform::clipboard_empty() {
    return stand_in_ ? stand_in_open_ && stand_in_->empty() : EmptyClipboard();
}

bool Win32Platform::clipboard_set_text(std::string_view text) {
    return stand_in_ ? stand_in_open_ && stand_in_->set_text(text) : set_block(CF_TEXT, text);
}

// The description becomes a GDI bitmap again here, since the platform hands
// descriptions around; on success the clipboard owns that bitmap.
bool Win32Platform::clipboard_set_bitmap(const DeviceBitmap& bitmap) {
    if (stand_in_) {
        return stand_in_open_ && is_valid_monochrome(bitmap) &&
               stand_in_->set_dib(synthesize_dib(bitmap));
    }
    HBITMAP handle = make_device_bitmap(bitmap);
    if (handle == nullptr) {
        return false;
    }
    if (SetClipboardData(CF_BITMAP, handle) == nullptr) {
        DeleteObject(handle);
        return false;
    }
    return true;
}

bool Win32Platform::clipboard_set_rich_text(std::string_view rtf) {
    if (stand_in_) {
        return stand_in_open_ && stand_in_->set_rich_text(rtf);
    }
    UINT format = RegisterClipboardFormatA("Rich Text Format");
    return format != 0 && set_block(format, rtf);
}

ClipboardText Win32Platform::clipboard_get_text() {
    if (stand_in_) {
        return stand_in_open_ ? stand_in_->get_text() : ClipboardText{};
    }
    std::optional<std::string> bytes = block_bytes(CF_TEXT);
    if (!bytes) {
        return {};
    }
    return {text_up_to_zero(*bytes), {}};
}

std::optional<std::vector<std::uint8_t>> Win32Platform::clipboard_get_dib() {
    if (stand_in_) {
        return stand_in_open_ ? stand_in_->get_dib() : std::nullopt;
    }
    std::optional<std::string> bytes = block_bytes(CF_DIB);
    if (!bytes) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

void Win32Platform::clipboard_close() {
    if (!stand_in_) {
        CloseClipboard();
    } else if (stand_in_open_) {
        stand_in_->close();
        stand_in_open_ = false;
    }
}

// The bitmap GDI makes is the proof that the description is one; the
// programs keep working with the description.
std::optional<DeviceBitmap> Win32Platform::create_bitmap(const DeviceBitmap& description) {
    HBITMAP handle = make_device_bitmap(description);
    if (handle == nullptr) {
        return std::nullopt;
    }
    DeleteObject(handle);
    return description;
}

std::optional<std::string> Win32Platform::open_file_dialog(const FileDialog& dialog) {
    return choose_file(DialogKind::open, dialog);
}

std::optional<std::string> Win32Platform::save_file_dialog(const FileDialog& dialog) {
    return choose_file(DialogKind::save, dialog);
}

std::optional<std::string> Win32Platform::font_dialog() {
    LOGFONTA font{};
    CHOOSEFONTA chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.lpLogFont = &font;
    chooser.Flags = CF_SCREENFONTS | CF_PRINTERFONTS;
    if (!ChooseFontA(&chooser)) {
        return std::nullopt;
    }
    return std::string(font.lfFaceName);
}

void Win32Platform::play_default_sound() {
    PlaySoundA(".Default", nullptr, SND_ALIAS);
}

void Win32Platform::open_document(const std::string& path) {
    ShellExecuteA(GetDesktopWindow(), "open", path.c_str(), nullptr, nullptr, SW_HIDE);
}

}  // namespace varkit
