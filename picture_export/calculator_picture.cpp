#include "picture_export/calculator_picture.h"

#include <optional>

namespace varkit {
namespace {

// Where a picture's rows begin and how many there are.
struct PictureGeometry {
    Dimensions size;
    long first_row = 0;
};

// The graph screens of the older calculators.
constexpr Dimensions kTi83Screen{63, 96};   // TI-81, 82, 83 and 83 Plus
constexpr Dimensions kTi86Screen{63, 128};  // TI-85 and 86
constexpr long kTi83FirstRow = 72;
constexpr std::int32_t kTi83PlusLetters = 'F';  // "**TI83F*"

// In TI-85, TI-86 and TI-83 Plus files the variable's entry begins at offset 55
// with the length of the entry header that follows; after that header come
// the data length and the picture's own byte count, then the rows: 61 bytes
// past that length.
constexpr long kEntryHeaderLengthOffset = 55;
constexpr unsigned kRowsPastEntryHeader = 61;

// The variable's type code follows the entry-header length (55) and the data
// length (57) in the files of the TI-82 to TI-86; a picture is 0x07 on the
// TI-82/83 family and 0x11 on the TI-85/86.
constexpr long kOlderTypeCodeOffset = 59;
constexpr int kTi83PictureType = 0x07;
constexpr int kTi86PictureType = 0x11;

const char kRowsEndEarly[] = "Error: File ends before the picture's last row.\n";
const char kCantReadFile[] = "Error: Can't read file \"%s\".\n";

std::optional<long> first_row_after_entry_header(std::FILE* file) {
    std::uint8_t word[2];
    if (vf_seek(kEntryHeaderLengthOffset, file) != 0 || std::fread(word, 1, 2, file) != 2) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(kRowsPastEntryHeader + read_le16(word));
}

// The TI-89 and TI-92 families: a picture variable file with its own size.
std::optional<PictureGeometry> stored_geometry(std::FILE* file, std::FILE* err) {
    if (vf_format_word(file) != 1) {
        std::fputs(
            "WARNING!! This file appears to have a newer format than what this program\n"
            "was written for.\n",
            err);
    }
    // A file too short for a header reads as type 0.
    VarHeader header;
    vf_read_header(&header, file);
    if (header.type_code != kTypePicture) {
        std::fputs("Error: Not a picture file.\n", err);
        return std::nullopt;
    }
    PictureGeometry geometry;
    if (vf_read_dimensions(&geometry.size, file) != 1) {
        std::fputs(kRowsEndEarly, err);
        return std::nullopt;
    }
    // The rows, the size words and the tag share the 16-bit data length, so a
    // larger size cannot be true, however long the file.
    if (picture_rows_size(geometry.size) + kPictureDataOverhead > 0xFFFF) {
        std::fprintf(err, "Error: A picture of %u rows and %u columns is larger than a variable.\n",
                     geometry.size.rows, geometry.size.columns);
        return std::nullopt;
    }
    geometry.first_row = kPictureRowsOffset;
    return geometry;
}

std::optional<PictureGeometry> fixed_geometry(const Dimensions& screen,
                                              std::optional<long> first_row, std::FILE* err) {
    if (!first_row) {
        std::fputs(kRowsEndEarly, err);
        return std::nullopt;
    }
    return PictureGeometry{screen, *first_row};
}

bool holds_older_picture(int picture_type, std::FILE* file, std::FILE* err) {
    if (vf_seek(kOlderTypeCodeOffset, file) != 0 || std::fgetc(file) != picture_type) {
        std::fputs("Error: Not a picture file.\n", err);
        return false;
    }
    return true;
}

std::optional<PictureGeometry> picture_geometry(std::FILE* file, std::FILE* err) {
    const std::int32_t code = vf_calculator_code(file);
    const std::int32_t letters = code & 0xFFFF;
    const unsigned model = vf_model_number(code);
    switch (model) {
        case 81:
            // Nothing is known of a TI-81 file beyond where its rows are.
            return PictureGeometry{kTi83Screen, kTi83FirstRow};
        case 82:
        case 83:
            if (!holds_older_picture(kTi83PictureType, file, err)) {
                return std::nullopt;
            }
            // The TI-83 Plus entry header is two bytes longer than the TI-83's.
            if (model == 83 && letters == kTi83PlusLetters) {
                return fixed_geometry(kTi83Screen, first_row_after_entry_header(file), err);
            }
            return PictureGeometry{kTi83Screen, kTi83FirstRow};
        case 85:
        case 86:
            if (!holds_older_picture(kTi86PictureType, file, err)) {
                return std::nullopt;
            }
            return fixed_geometry(kTi86Screen, first_row_after_entry_header(file), err);
        case 89:
        case 92:
            return stored_geometry(file, err);
        default:
            // The one message of the suite that has no line end.
            std::fputs("Error: Unrecognized file type.", err);
            return std::nullopt;
    }
}

// A read that failed is reported as such, never as a file that ends early.
bool read_failed(std::FILE* file, const std::string& path, std::FILE* err) {
    if (!std::ferror(file)) {
        return false;
    }
    std::fprintf(err, kCantReadFile, path.c_str());
    return true;
}

}  // namespace

bool load_calculator_picture(const std::string& path, const std::optional<std::string>& member,
                             CalculatorPicture& picture, std::FILE* err) {
    // Only read, so a read-only picture is no obstacle.
    VariableInput input;
    if (!input_opened(input.open(path, member, false), path, input.refusal(),
                      {"Can't open file \"%s\".\n", kCantReadFile}, err)) {
        return false;
    }
    std::FILE* file = input.stream();
    std::optional<PictureGeometry> geometry = picture_geometry(file, err);
    if (read_failed(file, input.name(), err) || !geometry) {
        return false;
    }
    picture.size = geometry->size;
    if (picture.size.rows == 0 || picture.size.columns == 0) {
        std::fprintf(err, "Error: Empty picture (%u rows, %u columns).\n", picture.size.rows,
                     picture.size.columns);
        return false;
    }
    int complete = vf_read_picture_rows(geometry->first_row, picture.size, picture.rows, file);
    if (read_failed(file, input.name(), err)) {
        return false;
    }
    if (complete != 1) {
        std::fputs(kRowsEndEarly, err);
        return false;
    }
    return true;
}

}  // namespace varkit
