#include "picture_import/pixelpress.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "picture_export/clip_dib.h"
#include "picture_import/image_readers.h"
#include "picture_import/picture_reduction.h"
#include "picture_import/ti83plus_picture.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

constexpr std::string_view kUsageHead =
    "Copies a bitmap from the clipboard or a BMP file to a TI[89,92,92+] file.\n"
    "\n"
    "%s TIfile  [BMPfile] [/N name] [/F folder] [/C \"quoted text\"]\n"
    "\n";
constexpr std::string_view kUsage[] = {kUsageHead, kNamingUsageLines, "\n\n"};

// The largest input read into memory: well beyond a 32-bit BMP of the
// largest image the readers take.
constexpr std::size_t kLargestInput = std::size_t{1} << 26;

constexpr Dimensions kLargestPicture{kMaxPictureRows, kMaxPictureColumns};

// "-" in place of the bitmap's name: standard input.
constexpr std::string_view kStandardStream = "-";

struct Settings {
    std::string ti_path;
    bool ti_path_given = false;
    std::string bmp_path;
    bool from_file = false;
    NamingOptions naming;
    ReductionOptions reduction;
    bool fit = false;
};

// The first name is the picture file to write, the second the image to read.
bool take_file_name(Settings& settings, const char* name) {
    if (!settings.ti_path_given) {
        settings.ti_path = name;
        settings.ti_path_given = true;
    } else if (!settings.from_file) {
        settings.bmp_path = name;
        settings.from_file = true;
    } else {
        return false;
    }
    return true;
}

using Value = const OptionValue&;

constexpr auto kOwnOptions = std::to_array<Option<Settings>>({
    {number_option("threshold", "N", 0, 255, "pixels darker than N are on (default 128)"),
     [](Settings& settings, Value value) {
         settings.reduction.threshold = static_cast<unsigned>(value.number);
         return Verdict{};
     }},
    {flag_option("dither", "dither grey and colour (Floyd-Steinberg)"),
     [](Settings& settings, Value) {
         settings.reduction.dither = true;
         return Verdict{};
     }},
    {flag_option("fit", "scale a larger image down to fit the picture"), turn_on<&Settings::fit>},
});
constexpr auto kOptions = join_rows(naming_switches<Settings>(), kOwnOptions);

constexpr CommandLineTable<Settings> kCommandLine{
    .help = {.name = "Pixelpress",
             .version = "v1.0",
             .usage = kUsage,
             .formats =
                 "Reads:  BMP, PNG, PBM, PGM and PPM images: a file, a pipe (-), the clipboard\n"
                 "Writes: pictures of the TI-89, TI-92, TI-92 Plus (.89i .92i .9xi) and\n"
                 "        TI-83 Plus (.8xi)\n"},
    .rules = {.usage_without_arguments = false, .standard_stream = true},
    .options = kOptions,
    .take_file_name = take_file_name,
    .check = nullptr,
};

VarHeader picture_header(const char* signature, std::size_t row_bytes_total,
                         const Settings& settings, const char* input_name) {
    VarHeader header =
        new_variable_header(signature, kTypePicture,
                            static_cast<std::uint16_t>(kPictureDataOverhead + row_bytes_total));
    fill_header_names(header, settings.naming, input_name, settings.ti_path);
    return header;
}

// Header, size words, rows, tag, then the checksum read back from the file.
bool write_picture_file(std::FILE* file, const VarHeader& header, const Dimensions& size,
                        const std::vector<std::uint8_t>& rows) {
    return vf_write_header(&header, file) == 1 && vf_write_picture(size, rows, file) == 1 &&
           append_checksum(file);
}

// What the output name asks for: a TI-89/92 family picture (its signature),
// a TI-83 Plus picture, or nothing the program writes.
struct OutputKind {
    const char* signature = nullptr;
    bool ti83plus = false;
    bool supported() const { return signature != nullptr || ti83plus; }
    Dimensions limit() const { return ti83plus ? kTi83PlusPicture : kLargestPicture; }
};

OutputKind output_kind(const std::string& ti_path) {
    OutputKind kind;
    kind.signature = signature_for_file_name(ti_path, "i");
    kind.ti83plus =
        kind.signature == nullptr && path_base_name(ti_path).find(".8xi") != std::string::npos;
    return kind;
}

// The whole input in memory; false after the message when it cannot be
// read, or its first bytes begin no image (nothing more is read then).
bool read_whole(std::FILE* input, const char* source, std::vector<std::uint8_t>& bytes,
                std::FILE* err) {
    std::uint8_t buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, input)) > 0) {
        if (bytes.empty() && !image_format_of(std::span(buffer, count))) {
            std::fprintf(err, "Error: %s is not a bitmap.\n", source);
            return false;
        }
        if (bytes.size() + count > kLargestInput) {
            std::fprintf(err, "Error: %s is too large to be an image the program reads.\n", source);
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + count);
    }
    if (std::ferror(input)) {
        std::fprintf(err, "Error: Can't read %s.\n", source);
        return false;
    }
    return true;
}

bool read_standard_input(const char* source, std::vector<std::uint8_t>& bytes, std::FILE* err) {
    // Nobody types an image: a terminal would only keep the run waiting.
    if (is_terminal(stdin)) {
        std::fputs("Error: Standard input is a terminal, not an image.\n", err);
        return false;
    }
    return read_whole(stdin, source, bytes, err);
}

// Whether the image may become a picture of the output's kind, with the
// message when it may not. The bitmap checks come before the output name's.
bool check_image(const DecodedImage& decoded, const char* source, const OutputKind& kind,
                 const Settings& settings, std::FILE* err) {
    const GreyImage& image = decoded.image;
    switch (decoded.status) {
        case DecodeStatus::NotImage:
            std::fprintf(err, "Error: %s is not a bitmap.\n", source);
            return false;
        case DecodeStatus::Unsupported:
            std::fprintf(err, "Error: %s is not a 239x103 or less monochrome bitmap.\n", source);
            return false;
        default:
            break;
    }
    const Dimensions limit = kind.limit();
    if (decoded.status == DecodeStatus::TooLarge && settings.fit) {
        std::fprintf(err, "Error: %s is %ux%u pixels, too large to scale down.\n", source,
                     image.width, image.height);
        return false;
    }
    if (!settings.fit && !fits_within(image.width, image.height, limit)) {
        // A monochrome BMP file keeps the message it always had.
        if (decoded.format == ImageFormat::Bmp && image.two_coloured &&
            !fits_within(image.width, image.height, kLargestPicture)) {
            std::fprintf(err, "Error: %s is not a 239x103 or less monochrome bitmap.\n", source);
        } else {
            std::fprintf(
                err, "Error: %s is %ux%u pixels, larger than %ux%u (--fit scales it down).\n",
                source, image.width, image.height, unsigned{limit.columns}, unsigned{limit.rows});
        }
        return false;
    }
    if (!kind.supported()) {
        std::fputs("Error: File type not supported.\n", err);
        return false;
    }
    if (decoded.status == DecodeStatus::EndsEarly) {
        std::fprintf(err, "Error: %s ends before its last row.\n", source);
        return false;
    }
    if (decoded.status == DecodeStatus::Damaged) {
        static const char* const kFormatNames[] = {"BMP", "PNG",  "netpbm", "JPEG",
                                                   "GIF", "WebP", "TIFF"};
        std::fprintf(err, "Error: %s is a damaged %s image: %s.\n", source,
                     kFormatNames[static_cast<int>(decoded.format)], decoded.detail.c_str());
        return false;
    }
    return true;
}

// The TI-83 Plus picture variable the names choose: Pic1 to Pic0 by the /N
// value or the output's own name, else Pic1. A /N value that names no
// picture variable is reported.
std::uint8_t ti83plus_variable(const VarHeader& names, const Settings& settings, bool& rejected,
                               std::FILE* err) {
    std::string name(names.name.data(), ::strnlen(names.name.data(), names.name.size()));
    std::optional<std::uint8_t> number = picture_variable_number(name);
    if (!number && is_given(settings.naming.name)) {
        std::fprintf(err, "Not a valid filename: %s\n", settings.naming.name.data());
        rejected = true;
    }
    return number.value_or(0);
}

// The picture file's bytes written to `file`.
bool write_output(std::FILE* file, const OutputKind& kind, const Dimensions& size,
                  const std::vector<std::uint8_t>& rows, const Settings& settings,
                  const char* input_name, bool& rejected, std::FILE* err) {
    if (!kind.ti83plus) {
        VarHeader header = picture_header(kind.signature, rows.size(), settings, input_name);
        return write_picture_file(file, header, size, rows);
    }
    VarHeader names{};
    fill_header_names(names, settings.naming, input_name, settings.ti_path);
    std::vector<std::uint8_t> bytes =
        ti83plus_picture_file(names, ti83plus_variable(names, settings, rejected, err), rows);
    return std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
}

// The whole course from the image's bytes: decode, check, reduce, write.
// `source` names the image in messages; `refused` is set when a name is.
int import_image(const std::vector<std::uint8_t>& bytes, const char* source, const char* input_name,
                 Settings& settings, bool& refused, Runtime& rt) {
    const OutputKind kind = output_kind(settings.ti_path);
    // Without --fit an image larger than the picture is refused by its
    // header; with it, any the image limits allow is read to be scaled down.
    const Dimensions limit = kind.limit();
    const ImageBounds bounds =
        settings.fit ? ImageBounds{} : ImageBounds{limit.columns, limit.rows};
    DecodedImage decoded = decode_image(bytes, bounds);
    if (!check_image(decoded, source, kind, settings, rt.err)) {
        return 1;
    }
    // A TI-83 Plus picture is named Pic1 to Pic0, never after the file.
    if (!kind.ti83plus && !check_default_name(settings.naming, settings.ti_path, rt.err)) {
        return 1;
    }
    const GreyImage image =
        settings.fit ? fit_within(decoded.image, kind.limit()) : std::move(decoded.image);
    const Dimensions size = kind.ti83plus ? kTi83PlusPicture
                                          : Dimensions{static_cast<std::uint16_t>(image.height),
                                                       static_cast<std::uint16_t>(image.width)};
    const std::vector<std::uint8_t> rows = picture_rows_of(image, settings.reduction, size);

    // Only an image that passed every check reaches the output, and the
    // output appears only complete.
    const char* ti_path = settings.ti_path.c_str();
    OutputFile output(settings.ti_path);
    if (!output.open()) {
        std::fprintf(rt.err, "Error: Can't open file \"%s\".\n", ti_path);
        return 1;
    }
    if (!write_output(output.stream(), kind, size, rows, settings, input_name, refused, rt.err) ||
        !output.commit()) {
        std::fprintf(rt.err, "Error: Can't write file \"%s\".\n", ti_path);
        return 1;
    }
    std::fprintf(rt.err, "%s image copied to %s.\n", source, ti_path);
    return 0;
}

// The image's bytes from the clipboard, standard input or the named file;
// false after the message when there are none.
bool read_image_bytes(const Settings& settings, const char* source,
                      std::vector<std::uint8_t>& bytes, Runtime& rt) {
    if (settings.from_file && settings.bmp_path == kStandardStream) {
        return read_standard_input(source, bytes, rt.err);
    }
    // A clipboard bitmap reaches the readers through a scratch BMP file of
    // its own, removed on every path.
    std::optional<ScratchFile> scratch;
    if (!settings.from_file) {
        scratch.emplace(".bmp");
        if (!scratch->created()) {
            std::fputs("Error: Can't create a temporary file.\n", rt.err);
        }
        if (!scratch->created() ||
            clip_dib_to_file(scratch->path(), ClipDibCreateFailure::ReturnsFailure, rt) !=
                ClipDibResult::Saved) {
            std::fputs("Error: Unable to create bitmap.\n", rt.err);
            return false;
        }
    }
    const std::string& path = settings.from_file ? settings.bmp_path : scratch->path();
    FilePtr file = open_existing_file(path.c_str(), false);
    if (!file) {
        std::fprintf(rt.err, "Error: Can't open %s.\n", source);
        return false;
    }
    return read_whole(file.get(), source, bytes, rt.err);
}

}  // namespace

int pixelpress_main(int argc, char** argv, Runtime& rt) {
    Settings settings;
    ParsedCommandLine parsed = parse_command_line(argc, argv, kCommandLine, settings);
    if (std::optional<int> status =
            answer_command_line(parsed, syntax_of(kCommandLine), rt.out, rt.err)) {
        return *status;
    }

    const bool from_stdin = settings.from_file && settings.bmp_path == kStandardStream;
    const char* source = !settings.from_file ? "Clipboard"
                         : from_stdin        ? "Standard input"
                                             : settings.bmp_path.c_str();
    // What the default comment names: "From <file name>" or "From clipboard".
    const char* input_name = !settings.from_file ? nullptr
                             : from_stdin        ? "standard input"
                                                 : settings.bmp_path.c_str();
    std::vector<std::uint8_t> bytes;
    if (!read_image_bytes(settings, source, bytes, rt)) {
        return 1;
    }
    // A refused name or folder was reported with a failure line.
    bool refused = !parsed.refusals.empty();
    int status = import_image(bytes, source, input_name, settings, refused, rt);
    return status == 0 && refused ? 1 : status;
}

CommandLineSyntax pixelpress_command_line() {
    return syntax_of(kCommandLine);
}

}  // namespace varkit
