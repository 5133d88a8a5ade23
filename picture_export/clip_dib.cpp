#include "picture_export/clip_dib.h"

#include "platform/dib.h"
#include "varfile/file_io.h"

namespace varkit {
namespace {

// Opens the clipboard only for the moment of the read.
std::optional<std::vector<std::uint8_t>> read_clipboard_dib(Runtime& rt) {
    if (!rt.platform.clipboard_open()) {
        std::fputs("Error: Unable to open clipboard.\n", rt.err);
        return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> dib = rt.platform.clipboard_get_dib();
    rt.platform.clipboard_close();
    if (!dib) {
        std::fputs("Error: Unable to get clipboard data.\n", rt.err);
    }
    return dib;
}

bool write_bmp(std::FILE* file, const std::vector<std::uint8_t>& dib) {
    const std::string bmp = bmp_file_from_dib(dib);
    return std::fwrite(bmp.data(), bmp.size(), 1, file) == 1;
}

// The clipboard is read in either case, so its failures end the step as
// they always did; with `own` the bytes saved are those of the run's bitmap.
ClipDibResult save_clipboard_dib(const std::string& path, ClipDibCreateFailure on_create_failure,
                                 const DeviceBitmap* own, Runtime& rt) {
    OutputFile file(path);
    if (!file.open()) {
        std::fprintf(rt.err, "Can't open file \"%s\".\n", path.c_str());
        return on_create_failure == ClipDibCreateFailure::EndsRun ? ClipDibResult::EndRun
                                                                  : ClipDibResult::Failed;
    }
    std::optional<std::vector<std::uint8_t>> dib = read_clipboard_dib(rt);
    if (!dib) {
        return ClipDibResult::Failed;
    }
    if (own != nullptr) {
        *dib = synthesize_dib(*own);
    }
    if (!write_bmp(file.stream(), *dib) || !file.commit()) {
        std::fprintf(rt.err, "Error: Can't write file \"%s\".\n", path.c_str());
        return ClipDibResult::Failed;
    }
    return ClipDibResult::Saved;
}

}  // namespace

ClipDibResult clip_dib_to_file(const std::string& path, ClipDibCreateFailure on_create_failure,
                               Runtime& rt) {
    return save_clipboard_dib(path, on_create_failure, nullptr, rt);
}

ClipDibResult clip_dib_to_file(const std::string& path, ClipDibCreateFailure on_create_failure,
                               const DeviceBitmap& own, Runtime& rt) {
    return save_clipboard_dib(path, on_create_failure, &own, rt);
}

std::vector<std::uint8_t> bmp_file_of(const DeviceBitmap& own) {
    const std::string bmp = bmp_file_from_dib(synthesize_dib(own));
    return std::vector<std::uint8_t>(bmp.begin(), bmp.end());
}

}  // namespace varkit
