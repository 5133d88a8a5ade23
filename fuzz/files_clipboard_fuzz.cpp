// The clipboard folder over any file contents: text.txt, bitmap.bmp and
// rich.rtf hold parts of the input (the first two bytes give the text's
// length, the next two the bitmap file's, the rest is the rich text), read
// back through the backend's get text and get DIB, then through the
// platform by Plainpress and Pixelpress as another run of the suite would
// find them. What the backend sets, it must give back unchanged.
#include <algorithm>
#include <string_view>

#include "fuzz/support/fuzz_support.h"
#include "picture_import/pixelpress.h"
#include "platform/desktop_platform.h"
#include "platform/dib.h"
#include "platform/files/files_clipboard.h"
#include "text_import/plainpress.h"
#include "varfile/varfile.h"

namespace {

using namespace varkit;
using fuzzing::require;

// The lock is ours alone; a short wait keeps a broken lock from stalling.
constexpr std::chrono::milliseconds kLockWait{100};

struct Parts {
    std::string_view text;
    std::string_view bitmap;
    std::string_view rich;
};

Parts split(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    auto take_length = [&rest] {
        std::size_t length =
            rest.size() >= 2 ? read_le16(reinterpret_cast<const std::uint8_t*>(rest.data())) : 0;
        rest.remove_prefix(std::min<std::size_t>(2, rest.size()));
        return length;
    };
    Parts parts;
    std::size_t text_length = take_length();
    std::size_t bitmap_length = take_length();
    parts.text = rest.substr(0, text_length);
    rest.remove_prefix(parts.text.size());
    parts.bitmap = rest.substr(0, bitmap_length);
    rest.remove_prefix(parts.bitmap.size());
    parts.rich = rest;
    return parts;
}

void lay_out(const fuzzing::TempFolder& folder, const Parts& parts) {
    auto put = [&folder](const char* name, std::string_view bytes) {
        fuzzing::write_whole_file(
            folder.file(name), reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };
    put("text.txt", parts.text);
    put("bitmap.bmp", parts.bitmap);
    put("rich.rtf", parts.rich);
}

void check_reads(const std::string& folder, const Parts& parts) {
    FilesClipboard clipboard(folder, kLockWait);
    require(clipboard.open(), "the clipboard folder does not open");
    std::optional<std::string> text = clipboard.get_text().text;
    require(text == std::string(parts.text.substr(0, parts.text.find('\0'))), "get text");
    std::optional<std::vector<std::uint8_t>> dib = clipboard.get_dib();
    if (parts.bitmap.size() > kBmpFileHeaderSize && parts.bitmap.starts_with("BM")) {
        std::string_view block = parts.bitmap.substr(kBmpFileHeaderSize);
        require(dib == std::vector<std::uint8_t>(block.begin(), block.end()), "get DIB");
    } else {
        require(!dib, "a DIB from a file that is no BMP");
    }
    clipboard.close();
}

// Another run takes what lies there: the text into a TEXT, the bitmap into
// a picture.
void run_programs(const std::string& folder, const fuzzing::TempFolder& outputs) {
    DesktopPlatform platform(
        [folder] { return std::make_unique<FilesClipboard>(folder, kLockWait); });
    fuzzing::run_program(plainpress_main, {outputs.file("out.89t")}, platform);
    fuzzing::run_program(pixelpress_main, {outputs.file("out.9xi")}, platform);
}

// What the backend sets it gives back: the rich text part as text, as a
// DIB block and as rich text.
void check_round_trips(const std::string& folder, std::string_view bytes) {
    FilesClipboard clipboard(folder, kLockWait);
    require(clipboard.open(), "the clipboard folder does not open");
    require(clipboard.set_text(bytes) &&
                clipboard.get_text().text == std::string(bytes.substr(0, bytes.find('\0'))),
            "text round trip");
    std::vector<std::uint8_t> block(bytes.begin(), bytes.end());
    require(clipboard.set_dib(block), "set DIB");
    std::optional<std::vector<std::uint8_t>> dib = clipboard.get_dib();
    require(block.empty() ? !dib : dib == block, "DIB round trip");
    require(clipboard.set_rich_text(bytes), "set rich text");
    require(fuzzing::read_whole_file(folder + "/rich.rtf") == std::string(bytes),
            "rich text round trip");
    require(clipboard.empty() && !clipboard.get_text().text && !clipboard.get_dib(), "empty");
    clipboard.close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzing::TempFolder folder;
    static const fuzzing::TempFolder outputs;
    const Parts parts = split(data, size);
    lay_out(folder, parts);
    check_reads(folder.path(), parts);
    run_programs(folder.path(), outputs);
    check_round_trips(folder.path(), parts.rich);
    return 0;
}
