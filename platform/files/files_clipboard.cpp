#include "platform/files/files_clipboard.h"

#include "platform/dib.h"

namespace varkit {
namespace {

constexpr const char* kTextFile = "text.txt";
constexpr const char* kBitmapFile = "bitmap.bmp";
constexpr const char* kRichTextFile = "rich.rtf";
// A text that could become a variable is at most a few hundred kilobytes;
// a larger text file is refused before it is read into memory.
constexpr std::int64_t kLargestText = std::int64_t{16} << 20;

}  // namespace

FilesClipboard::FilesClipboard(std::string folder, std::chrono::milliseconds lock_wait)
    : folder_(std::move(folder), lock_wait) {}

bool FilesClipboard::open() {
    return folder_.lock();
}

void FilesClipboard::close() {
    folder_.unlock();
}

bool FilesClipboard::empty() {
    bool removed = folder_.remove(kTextFile);
    removed = folder_.remove(kBitmapFile) && removed;
    return folder_.remove(kRichTextFile) && removed;
}

bool FilesClipboard::set_text(std::string_view text) {
    return folder_.write(kTextFile, text);
}

bool FilesClipboard::set_dib(const std::vector<std::uint8_t>& dib) {
    return folder_.write(kBitmapFile, bmp_file_from_dib(dib));
}

bool FilesClipboard::set_rich_text(std::string_view rtf) {
    return folder_.write(kRichTextFile, rtf);
}

ClipboardText FilesClipboard::get_text() {
    auto bytes = folder_.read(kTextFile, kLargestText);
    if (!bytes) {
        return {};
    }
    return {text_up_to_zero(*bytes), {}};
}

// The block is what follows the 14-byte file header; a file that is not a
// BMP holds no bitmap.
std::optional<std::vector<std::uint8_t>> FilesClipboard::get_dib() {
    auto file = folder_.read(kBitmapFile);
    if (!file || file->size() <= kBmpFileHeaderSize || !file->starts_with("BM")) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(file->begin() + kBmpFileHeaderSize, file->end());
}

}  // namespace varkit
