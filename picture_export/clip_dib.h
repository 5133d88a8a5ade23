// The clipboard-to-BMP writer: saves the bitmap the clipboard holds, in its
// packed device-independent form (CF_DIB), as a BMP file. The picture
// exporter saves the bitmap it has just placed there; the picture importer
// and the rich text exporter pass clipboard bitmaps through a scratch file of
// their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace varkit {

// What a BMP file that cannot be created means to the caller: the picture
// exporter and the rich text exporter end their run, the picture importer
// goes on to report its own failure.
enum class ClipDibCreateFailure {
    EndsRun,
    ReturnsFailure,
};

enum class ClipDibResult {
    Saved,   // the file holds the 14-byte BMP file header and the whole block
    Failed,  // nothing saved; the reason has been printed
    EndRun,  // the file could not be created and the caller ends its run
};

// Writes the clipboard's bitmap to `path` as a BMP file. The file appears
// only complete: it is written beside its name and renamed, so a failure
// leaves an older file of that name untouched and no empty one. Messages go
// to rt.err.
ClipDibResult clip_dib_to_file(const std::string& path, ClipDibCreateFailure on_create_failure,
                               Runtime& rt);

// The same steps and messages for a bitmap this run has just placed on the
// clipboard, but the file holds `own` in the clipboard's form: the clipboard
// is shared, and another program may have replaced the bitmap meanwhile.
ClipDibResult clip_dib_to_file(const std::string& path, ClipDibCreateFailure on_create_failure,
                               const DeviceBitmap& own, Runtime& rt);

// The BMP file the writer saves for `own`, made without the clipboard: for a
// run that leaves the clipboard alone or sends the file elsewhere.
std::vector<std::uint8_t> bmp_file_of(const DeviceBitmap& own);

}  // namespace varkit
