#include "picture_import/pixelpress.h"

#include <algorithm>
#include <optional>
#include <string>

#include "picture_export/clip_dib.h"
#include "picture_import/bmp_reader.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

const char kUsageHead[] =
    "Copies a bitmap from the clipboard or a BMP file to a TI[89,92,92+] file.\n"
    "\n"
    "%s TIfile  [BMPfile] [/N name] [/F folder] [/C \"quoted text\"]\n"
    "\n";

struct Settings {
    std::string ti_path;
    std::string bmp_path;
    bool from_file = false;
    NamingOptions naming;
};

CommandLine parse_command_line(int argc, char** argv, Settings& settings, std::FILE* err) {
    Arguments args(argc, argv);
    int file_names = 0;
    while (!args.done()) {
        const char* argument = args.next();
        if (args.is_long_option(argument)) {
            return common_long_option(split_long_option(argument));
        }
        if (!args.is_switch(argument)) {
            if (++file_names == 1) {
                settings.ti_path = argument;
            } else if (file_names == 2) {
                settings.bmp_path = argument;
                settings.from_file = true;
            } else {
                return CommandLine::Bad;
            }
            continue;
        }
        char letter = switch_letter(argument);
        switch (take_naming_switch(letter, args, settings.naming, err)) {
            case NamingSwitch::Taken:
                break;
            case NamingSwitch::MissingValue:
                return CommandLine::Bad;
            case NamingSwitch::NotNaming:
                return letter == '?' ? CommandLine::Help : CommandLine::Bad;
        }
    }
    return CommandLine::Run;
}

VarHeader picture_header(const char* signature, std::size_t row_bytes_total,
                         const Settings& settings) {
    VarHeader header =
        new_variable_header(signature, kTypePicture,
                            static_cast<std::uint16_t>(kPictureDataOverhead + row_bytes_total));
    fill_header_names(header, settings.naming,
                      settings.from_file ? settings.bmp_path.c_str() : nullptr, settings.ti_path);
    return header;
}

// Header, size words, rows, tag, then the checksum read back from the file.
bool write_picture_file(std::FILE* file, const VarHeader& header, const Dimensions& size,
                        const std::vector<std::uint8_t>& rows) {
    return vf_write_header(&header, file) == 1 && vf_write_picture(size, rows, file) == 1 &&
           append_checksum(file);
}

// The whole course from an open bitmap: check, read, write. `source` names
// the bitmap in messages.
int import_bitmap(std::FILE* bmp, const char* source, const Settings& settings, Runtime& rt) {
    BmpLayout layout;
    BmpCheck check = read_bmp_layout(bmp, layout);
    if (std::ferror(bmp)) {
        std::fprintf(rt.err, "Error: Can't read %s.\n", source);
        return 1;
    }
    switch (check) {
        case BmpCheck::Monochrome:
            break;
        case BmpCheck::NotBitmap:
            std::fprintf(rt.err, "Error: %s is not a bitmap.\n", source);
            return 1;
        case BmpCheck::NotMonochrome:
            std::fprintf(rt.err, "Error: %s is not a 239x103 or less monochrome bitmap.\n", source);
            return 1;
    }
    const char* signature = signature_for_file_name(settings.ti_path, "i");
    if (signature == nullptr) {
        std::fputs("Error: File type not supported.\n", rt.err);
        return 1;
    }
    if (!check_default_name(settings.naming, settings.ti_path, rt.err)) {
        return 1;
    }
    std::vector<std::uint8_t> rows;
    bool complete = read_bmp_rows(bmp, layout, rows);
    if (std::ferror(bmp)) {
        std::fprintf(rt.err, "Error: Can't read %s.\n", source);
        return 1;
    }
    if (!complete) {
        std::fprintf(rt.err, "Error: %s ends before its last row.\n", source);
        return 1;
    }

    // Only a bitmap that passed every check reaches the output, and the
    // output appears only complete.
    const char* ti_path = settings.ti_path.c_str();
    OutputFile output(settings.ti_path);
    if (!output.open()) {
        std::fprintf(rt.err, "Error: Can't open file \"%s\".\n", ti_path);
        return 1;
    }
    VarHeader header = picture_header(signature, rows.size(), settings);
    if (!write_picture_file(output.stream(), header, bmp_picture_size(layout), rows) ||
        !output.commit()) {
        std::fprintf(rt.err, "Error: Can't write file \"%s\".\n", ti_path);
        return 1;
    }
    std::fprintf(rt.err, "%s image copied to %s.\n", source, ti_path);
    return 0;
}

}  // namespace

int pixelpress_main(int argc, char** argv, Runtime& rt) {
    Settings settings;
    std::string usage = std::string(kUsageHead) + kNamingUsageLines + "\n\n";
    if (std::optional<int> status =
            answer_command_line(parse_command_line(argc, argv, settings, rt.err), rt.out,
                                "Pixelpress", "v1.0", usage.c_str())) {
        return *status;
    }

    // A clipboard bitmap reaches the one BMP reader through a scratch file of
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
            return 1;
        }
    }
    const std::string& bmp_path = settings.from_file ? settings.bmp_path : scratch->path();
    const char* source = settings.from_file ? settings.bmp_path.c_str() : "Clipboard";
    FilePtr bmp = open_existing_file(bmp_path.c_str(), false);
    if (!bmp) {
        std::fprintf(rt.err, "Error: Can't open %s.\n", source);
        return 1;
    }
    int status = import_bitmap(bmp.get(), source, settings, rt);
    // A refused name or folder was reported with a failure line.
    return status == 0 && settings.naming.rejected ? 1 : status;
}

}  // namespace varkit
