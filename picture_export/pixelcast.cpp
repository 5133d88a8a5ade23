#include "picture_export/pixelcast.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <iterator>
#include <string>

#include "picture_export/calculator_picture.h"
#include "picture_export/clip_dib.h"
#include "picture_export/console_picture.h"
#include "picture_export/picture_images.h"
#include "platform/dib.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

constexpr std::string_view kUsage[] = {
    "Copies a TI[81,82,83,85,86,89,92,92+] picture file to the clipboard and\n"
    "optionally to a bitmap file.\n"
    "\n"
    "%s TIfile  [BMPfile] [/S[#]] [/Fx] [/Bx]\n"
    "\n"
    "  /S     Shows picture in console, long lines are truncated. If S is followed\n"
    "         by a number the image will be shown to that column. This is useful if\n"
    "         redirecting to a file. /SF will write full width.\n"
    "  /F     Change console image foreground character.\n"
    "  /B     Change console image background character.\n"
    "\n"
    "\n"};

// /SF shows the full width of the calculators' largest screen.
constexpr long kFullWidthLimit = 240;

// "-" in place of the bitmap file's name: standard output.
constexpr std::string_view kStandardStream = "-";

enum class ImageFileFormat { Bmp, Png, Pbm };

struct Settings {
    std::string picture_path;
    std::string bmp_path;
    bool save_bmp = false;
    bool show = false;
    ConsoleStyle style;
    bool utf8 = false;                      // the console's characters are UTF-8
    std::optional<ImageFileFormat> format;  // --format; else the name's extension
    bool no_clipboard = false;
    std::optional<std::string> member;  // --member=NAME
};

std::string lower_case(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::optional<ImageFileFormat> format_named(std::string_view name) {
    const std::string lower = lower_case(name);
    if (lower == "png") {
        return ImageFileFormat::Png;
    }
    if (lower == "pbm") {
        return ImageFileFormat::Pbm;
    }
    if (lower == "bmp") {
        return ImageFileFormat::Bmp;
    }
    return std::nullopt;
}

// The extension of the image file's own name, in lower case.
std::string image_file_extension(const Settings& settings) {
    std::string_view name = path_base_name(settings.bmp_path);
    std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? "" : lower_case(name.substr(dot + 1));
}

// --format, else ".png" or ".pbm" ending the file's own name in any case;
// every other name is a BMP file.
ImageFileFormat output_format(const Settings& settings) {
    if (settings.format) {
        return *settings.format;
    }
    return format_named(image_file_extension(settings)).value_or(ImageFileFormat::Bmp);
}

// A name that asks for an image format Pixelcast does not write: the file
// gets BMP bytes all the same, and a warning says so.
bool names_unwritten_format(const Settings& settings) {
    constexpr std::string_view kUnwritten[] = {"jpg", "jpeg", "gif", "webp", "tif", "tiff"};
    return !settings.format &&
           std::ranges::find(kUnwritten, image_file_extension(settings)) != std::end(kUnwritten);
}

bool to_standard_output(const Settings& settings) {
    return settings.save_bmp && settings.bmp_path == kStandardStream;
}

// A picture sent into a pipe is not also put on the clipboard.
bool uses_clipboard(const Settings& settings) {
    return !settings.no_clipboard && !to_standard_output(settings);
}

// The digits that start `text` as a column limit, held below any overflow.
long column_limit_from(const char* text) {
    long limit = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
        limit = std::min(limit * 10 + (*text - '0'), static_cast<long>(INT_MAX));
    }
    return limit;
}

// /S, /S<digits>, /SF; anything else after the S shows with the limit as it was.
// The text after the letter ends the argument, so it ends in a NUL.
Verdict take_show_switch(Settings& settings, const OptionValue& value) {
    const char* rest = value.text.data();
    settings.show = true;
    if (std::isdigit(static_cast<unsigned char>(rest[0]))) {
        settings.style.column_limit = column_limit_from(rest);
    } else if (std::toupper(static_cast<unsigned char>(rest[0])) == 'F') {
        settings.style.column_limit = kFullWidthLimit;
    }
    return {};
}

// The first non-empty name is the picture, the next turns on the BMP file.
// An empty name met before the picture turns on saving with no BMP name, so
// the names after it still take their places.
bool take_file_name(Settings& settings, const char* name) {
    if (settings.picture_path.empty() && name[0] != '\0') {
        settings.picture_path = name;
    } else if (settings.bmp_path.empty()) {
        settings.bmp_path = name;
        settings.save_bmp = true;
    } else {
        return false;
    }
    return true;
}

using Value = const OptionValue&;

constexpr auto kOptions = std::to_array<Option<Settings>>({
    {value_switch('S', Takes::RestOfSwitch, "[#|F]",
                  "draw the picture on the console, # columns (79; F: 240)"),
     take_show_switch},
    {value_switch('F', Takes::RestOfSwitch, "x",
                  "draw the pixels that are on with x (a full block)"),
     [](Settings& settings, Value value) {
         settings.style.on = glyph_from_switch(value.text.data(), settings.utf8);
         return Verdict{};
     }},
    {value_switch('B', Takes::RestOfSwitch, "x", "draw the pixels that are off with x (a space)"),
     [](Settings& settings, Value value) {
         settings.style.off = glyph_from_switch(value.text.data(), settings.utf8);
         return Verdict{};
     }},
    {choice_option("format", "png|pbm|bmp", "the image file's format, whatever its name"),
     [](Settings& settings, Value value) {
         settings.format = format_named(value.text);
         return Verdict{};
     }},
    {flag_option("no-clipboard", "leave the clipboard as it is (so does the output -)"),
     turn_on<&Settings::no_clipboard>},
    member_row<Settings>(),
});

constexpr CommandLineTable<Settings> kCommandLine{
    .help = {.name = "Pixelcast",
             .version = "v1.0",
             .usage = kUsage,
             .formats = "Reads:  pictures of the TI-81 to TI-92 Plus (.8?i, .89i .92i .9xi), also\n"
                        "        inside group files (--member)\n"
                        "Writes: BMP, PNG and PBM images: the clipboard, a file, a pipe (-)\n"},
    .rules = {.usage_without_arguments = false, .standard_stream = true},
    .options = kOptions,
    .take_file_name = take_file_name,
    .check = nullptr,
};

// Places the picture on the clipboard as a device bitmap (CF_BITMAP).
bool copy_to_clipboard(const DeviceBitmap& description, Runtime& rt) {
    std::optional<DeviceBitmap> bitmap = rt.platform.create_bitmap(description);
    if (!bitmap) {
        std::fputs("Error: Unable to create bitmap.\n", rt.err);
        return false;
    }
    if (!rt.platform.clipboard_open()) {
        std::fputs("Error: Unable to open clipboard.\n", rt.err);
        return false;
    }
    bool placed = false;
    if (!rt.platform.clipboard_empty()) {
        std::fputs("Error: Unable to empty clipboard.\n", rt.err);
    } else if (!rt.platform.clipboard_set_bitmap(*bitmap)) {
        std::fputs("Error: Unable to set clipboard data.\n", rt.err);
    } else {
        std::fputs("Image copied to clipboard.\n", rt.err);
        placed = true;
    }
    rt.platform.clipboard_close();
    return placed;
}

// The BMP file is read back from the clipboard, whatever the clipboard step
// gave, and holds the clipboard's form of this run's own bitmap.
bool save_bmp_file(const std::string& path, const DeviceBitmap& bitmap, Runtime& rt) {
    if (clip_dib_to_file(path, ClipDibCreateFailure::EndsRun, bitmap, rt) != ClipDibResult::Saved) {
        return false;
    }
    std::fprintf(rt.err, "Image copied to %s.\n", path.c_str());
    return true;
}

// The image file's bytes to the named file, or to standard output for "-".
bool deliver_image(const std::string& path, const std::vector<std::uint8_t>& bytes, Runtime& rt) {
    if (path == kStandardStream) {
        // A failed write leaves the stream's error indicator set: the run's
        // end reports it, once, as for any program's standard output.
        if (std::fwrite(bytes.data(), 1, bytes.size(), rt.out) != bytes.size() ||
            std::fflush(rt.out) != 0) {
            return false;
        }
        std::fputs("Image copied to standard output.\n", rt.err);
        return true;
    }
    OutputFile file(path);
    if (!file.open()) {
        std::fprintf(rt.err, "Can't open file \"%s\".\n", path.c_str());
        return false;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) != bytes.size() ||
        !file.commit()) {
        std::fprintf(rt.err, "Error: Can't write file \"%s\".\n", path.c_str());
        return false;
    }
    std::fprintf(rt.err, "Image copied to %s.\n", path.c_str());
    return true;
}

// PNG and PBM files are made from the picture's own rows; a BMP file from the
// clipboard's form of the bitmap, read back as always when the run uses the
// clipboard.
bool save_image_file(const Settings& settings, const CalculatorPicture& picture,
                     const DeviceBitmap& bitmap, Runtime& rt) {
    switch (output_format(settings)) {
        case ImageFileFormat::Png: {
            std::optional<std::vector<std::uint8_t>> png = png_of_picture(picture);
            if (!png) {
                std::fputs("Error: Unable to make the PNG image.\n", rt.err);
                return false;
            }
            return deliver_image(settings.bmp_path, *png, rt);
        }
        case ImageFileFormat::Pbm:
            return deliver_image(settings.bmp_path, pbm_of_picture(picture), rt);
        case ImageFileFormat::Bmp:
            break;
    }
    if (names_unwritten_format(settings)) {
        std::fprintf(rt.err, "Warning: %s is written as a BMP image; use .png, .pbm or .bmp.\n",
                     settings.bmp_path.c_str());
    }
    if (uses_clipboard(settings)) {
        return save_bmp_file(settings.bmp_path, bitmap, rt);
    }
    return deliver_image(settings.bmp_path, bmp_file_of(bitmap), rt);
}

// Standard output can carry the image or the console picture, not both, and
// an image is never sent to a terminal.
bool standard_output_free(const Settings& settings, Runtime& rt) {
    if (!to_standard_output(settings)) {
        return true;
    }
    if (settings.show) {
        std::fputs("Error: /S and the output \"-\" both need standard output.\n", rt.err);
        return false;
    }
    if (is_terminal(rt.out)) {
        std::fputs("Error: Standard output is a terminal; send the image to a file or a pipe.\n",
                   rt.err);
        return false;
    }
    return true;
}

}  // namespace

int pixelcast_main(int argc, char** argv, Runtime& rt) {
    Settings settings;
    settings.utf8 = console_shows_unicode(rt.out);
    settings.style.on = cp437_glyph(kFullBlock, settings.utf8);
    settings.style.off = cp437_glyph(' ', settings.utf8);
    if (std::optional<int> status =
            answer_command_line(parse_command_line(argc, argv, kCommandLine, settings),
                                syntax_of(kCommandLine), rt.out, rt.err)) {
        return *status;
    }

    if (!standard_output_free(settings, rt)) {
        return 1;
    }
    CalculatorPicture picture;
    if (!load_calculator_picture(settings.picture_path, settings.member, picture, rt.err)) {
        return 1;
    }
    if (settings.show) {
        draw_picture(picture, settings.style, rt.out);
    }
    // Standard output that carries the image gets nothing else.
    if (!to_standard_output(settings)) {
        std::fputc('\n', rt.out);
        std::fflush(rt.out);
    }

    DeviceBitmap bitmap = device_bitmap_of(vf_picture_bitmap_bits(picture.size, picture.rows));
    bool succeeded = !uses_clipboard(settings) || copy_to_clipboard(bitmap, rt);
    if (settings.save_bmp) {
        succeeded = save_image_file(settings, picture, bitmap, rt) && succeeded;
    }
    return succeeded ? 0 : 1;
}

CommandLineSyntax pixelcast_command_line() {
    return syntax_of(kCommandLine);
}

}  // namespace varkit
