#include "platform/win32/win32_clipboard.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "charset/charset.h"
#include "charset/wide_text.h"
#include "platform/files/clipboard_folder.h"

namespace varkit {
namespace {

constexpr auto kOpenRetry = std::chrono::milliseconds(5);

// A movable global memory block holding `bytes` and `zeros` zero bytes after
// them, as the clipboard takes its data; nullptr when none could be had.
HGLOBAL block_of(const void* bytes, std::size_t size, std::size_t zeros) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + zeros);
    if (block == nullptr) {
        return nullptr;
    }
    void* memory = GlobalLock(block);
    if (memory == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(memory, bytes, size);
    GlobalUnlock(block);
    return block;
}

// Hands a block to the clipboard; on failure the block is still ours and
// freed.
bool set_block(UINT format, const void* bytes, std::size_t size, std::size_t zeros) {
    HGLOBAL block = block_of(bytes, size, zeros);
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

// The Unicode text up to its terminating zero.
std::optional<std::u32string> unicode_text() {
    std::optional<std::string> bytes = block_bytes(CF_UNICODETEXT);
    if (!bytes) {
        return std::nullopt;
    }
    std::wstring_view text(reinterpret_cast<const wchar_t*>(bytes->data()),
                           bytes->size() / sizeof(wchar_t));
    return utf32_from_utf8(utf8_from_wide(text.substr(0, text.find(L'\0'))));
}

// Windows lists a format it makes from another right after that one, and
// the formats an owner placed in the order placed: CF_TEXT listed first was
// placed by the owner.
bool bytes_placed_first() {
    for (UINT format = EnumClipboardFormats(0); format != 0;
         format = EnumClipboardFormats(format)) {
        if (format == CF_TEXT || format == CF_UNICODETEXT) {
            return format == CF_TEXT;
        }
    }
    return false;
}

}  // namespace

bool Win32Clipboard::open() {
    const auto deadline = std::chrono::steady_clock::now() + kDefaultLockWait;
    while (!OpenClipboard(nullptr)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kOpenRetry);
    }
    return true;
}

bool Win32Clipboard::empty() {
    return EmptyClipboard();
}

bool Win32Clipboard::set_text(std::string_view text) {
    const std::wstring unicode = wide_from_utf8(utf8_from_plain_text(text));
    return set_block(CF_UNICODETEXT, unicode.data(), unicode.size() * sizeof(wchar_t),
                     sizeof(wchar_t)) &&
           set_block(CF_TEXT, text.data(), text.size(), 1);
}

bool Win32Clipboard::set_dib(const std::vector<std::uint8_t>& dib) {
    return set_block(CF_DIB, dib.data(), dib.size(), 0);
}

bool Win32Clipboard::set_rich_text(std::string_view rtf) {
    UINT format = RegisterClipboardFormatA("Rich Text Format");
    return format != 0 && set_block(format, rtf.data(), rtf.size(), 1);
}

ClipboardText Win32Clipboard::get_text() {
    if (std::optional<std::u32string> unicode = unicode_text()) {
        PlainTextFromUnicode converted = plain_text_from_unicode(*unicode);
        if (converted.refused.empty()) {
            return {text_up_to_zero(converted.plain), {}};
        }
        if (!bytes_placed_first()) {
            return {{}, converted.refused.front().character};
        }
    }
    std::optional<std::string> bytes = block_bytes(CF_TEXT);
    if (!bytes) {
        return {};
    }
    return {text_up_to_zero(*bytes), {}};
}

std::optional<std::vector<std::uint8_t>> Win32Clipboard::get_dib() {
    std::optional<std::string> bytes = block_bytes(CF_DIB);
    if (!bytes) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

void Win32Clipboard::close() {
    CloseClipboard();
}

}  // namespace varkit
