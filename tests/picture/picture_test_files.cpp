#include "tests/picture/picture_test_files.h"

#include <filesystem>
#include <sstream>

#include "tests/support/program_run.h"
#include "tests/support/variable_files.h"

namespace varkit::testing {
namespace {

void put_le(Bytes& bytes, std::size_t offset, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t get_le(const Bytes& bytes, std::size_t offset, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes.at(offset + i);
    }
    return value;
}

const char kPython[] = "/usr/bin/python3";

bool pil_available() {
    return std::filesystem::exists(kPython) &&
           run_command({kPython, "-c", "import PIL"}).status == 0;
}

}  // namespace

Bytes pack_rows(const Pixels& pixels) {
    Bytes rows;
    for (const std::string& line : pixels) {
        Bytes row((line.size() + 7) / 8, 0);
        for (std::size_t c = 0; c < line.size(); ++c) {
            if (line[c] == '#') {
                row[c / 8] |= static_cast<std::uint8_t>(0x80 >> (c % 8));
            }
        }
        rows.insert(rows.end(), row.begin(), row.end());
    }
    return rows;
}

Pixels unpack_rows(const Bytes& rows, std::size_t height, std::size_t width) {
    std::size_t row_bytes = (width + 7) / 8;
    Pixels pixels(height, std::string(width, '.'));
    for (std::size_t r = 0; r < height; ++r) {
        for (std::size_t c = 0; c < width; ++c) {
            if (rows.at(r * row_bytes + c / 8) & (0x80 >> (c % 8))) {
                pixels[r][c] = '#';
            }
        }
    }
    return pixels;
}

Bytes picture_file(const std::string& signature, std::uint16_t rows, std::uint16_t columns,
                   const Bytes& row_bytes) {
    VariableFileSpec spec;
    spec.signature = signature;
    spec.type_code = 0x10;
    spec.name = "pic";
    spec.data = {static_cast<std::uint8_t>(rows >> 8), static_cast<std::uint8_t>(rows),
                 static_cast<std::uint8_t>(columns >> 8), static_cast<std::uint8_t>(columns)};
    spec.data.insert(spec.data.end(), row_bytes.begin(), row_bytes.end());
    spec.data.push_back(0xDF);
    return make_variable_file(spec);
}

Bytes picture_file(const Pixels& pixels, const std::string& signature) {
    return picture_file(signature, static_cast<std::uint16_t>(pixels.size()),
                        static_cast<std::uint16_t>(pixels.at(0).size()), pack_rows(pixels));
}

Bytes older_picture_file(const std::string& signature, std::uint16_t word_at_55,
                         std::size_t first_row, const Bytes& rows, std::uint8_t type_at_59) {
    Bytes file(first_row, 0);
    std::copy(signature.begin(), signature.end(), file.begin());
    put_le(file, 55, word_at_55, 2);
    if (file.size() > 59) {
        file[59] = type_at_59;
    }
    file.insert(file.end(), rows.begin(), rows.end());
    file.insert(file.end(), {0x12, 0x34});
    return file;
}

Bytes bmp_file(const Pixels& pixels, BmpSpec spec) {
    std::size_t width = pixels.at(0).size();
    std::size_t stride = ((width + 31) / 32) * 4;
    Bytes file(62, 0);
    file[0] = 'B';
    file[1] = 'M';
    put_le(file, 10, spec.rows_offset, 4);
    put_le(file, 14, 40, 4);
    auto height = static_cast<std::int32_t>(pixels.size());
    put_le(file, 18, static_cast<std::uint32_t>(spec.width.value_or(static_cast<int>(width))), 4);
    put_le(file, 22,
           static_cast<std::uint32_t>(spec.height.value_or(spec.top_down ? -height : height)), 4);
    put_le(file, 26, 1, 2);
    put_le(file, 28, spec.bits_per_pixel, 2);
    put_le(file, 30, spec.compression, 4);
    // Entry 0 then entry 1: blue, green, red, 0.
    std::fill_n(file.begin() + (spec.white_first ? 54 : 58), 3, 0xFF);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::string& line = spec.top_down ? pixels[i] : pixels[pixels.size() - 1 - i];
        Bytes row(stride, 0);
        for (std::size_t c = 0; c < width; ++c) {
            bool black_bit = spec.white_first ? 1 : 0;
            bool bit = line[c] == '#' ? black_bit : !black_bit;
            if (bit) {
                row[c / 8] |= static_cast<std::uint8_t>(0x80 >> (c % 8));
            }
        }
        file.insert(file.end(), row.begin(), row.end());
    }
    put_le(file, 2, static_cast<std::uint32_t>(file.size()), 4);
    return file;
}

Bytes pbm_file(const Pixels& pixels) {
    std::string header =
        "P4\n" + std::to_string(pixels.at(0).size()) + " " + std::to_string(pixels.size()) + "\n";
    Bytes file(header.begin(), header.end());
    Bytes rows = pack_rows(pixels);
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

Bytes pgm_file(std::size_t width, std::size_t height, const Bytes& grey) {
    std::string header = "P5 " + std::to_string(width) + " " + std::to_string(height) + " 255\n";
    Bytes file(header.begin(), header.end());
    file.insert(file.end(), grey.begin(), grey.end());
    return file;
}

Pixels dib_pixels(const Bytes& dib) {
    std::uint32_t info = get_le(dib, 0, 4);
    auto width = static_cast<std::int32_t>(get_le(dib, 4, 4));
    auto height = static_cast<std::int32_t>(get_le(dib, 8, 4));
    std::size_t rows = static_cast<std::size_t>(std::abs(height));
    std::size_t stride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
    auto lightness = [&](std::size_t entry) {
        std::size_t at = info + 4 * entry;
        return dib.at(at) + dib.at(at + 1) + dib.at(at + 2);
    };
    bool dark_bit = lightness(1) < lightness(0);
    Pixels pixels(rows, std::string(static_cast<std::size_t>(width), '.'));
    for (std::size_t i = 0; i < rows; ++i) {
        std::size_t r = height > 0 ? rows - 1 - i : i;
        for (std::size_t c = 0; c < pixels[r].size(); ++c) {
            bool bit = dib.at(info + 8 + i * stride + c / 8) & (0x80 >> (c % 8));
            pixels[r][c] = bit == dark_bit ? '#' : '.';
        }
    }
    return pixels;
}

Pixels read_with_netpbm(const std::string& path) {
    // A plain PBM: "P1", width, height, then one '0' or '1' a pixel.
    ProgramResult result = run_command(
        {"/bin/sh", "-c", "anytopnm \"$1\" | ppmtopgm | pgmtopbm -threshold | pnmtoplainpnm", "sh",
         path});
    std::istringstream words(result.out);
    std::string magic;
    std::size_t width = 0, height = 0;
    if (result.status != 0 || !(words >> magic >> width >> height) || magic != "P1") {
        return {};
    }
    Pixels pixels(height, std::string(width, '.'));
    char bit;
    for (std::size_t i = 0; i < width * height && words >> bit; ++i) {
        pixels[i / width][i % width] = bit == '1' ? '#' : '.';
    }
    return pixels;
}

Pixels read_image(const std::string& path, bool* available) {
    bool present = pil_available();
    if (available != nullptr) {
        *available = present;
    }
    if (!present) {
        return {};
    }
    const char* script =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]).convert('L')\n"
        "w, h = im.size\n"
        "for y in range(h):\n"
        "    print(''.join('#' if im.getpixel((x, y)) < 128 else '.' for x in range(w)))\n";
    ProgramResult result = run_command({kPython, "-c", script, path});
    Pixels pixels;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        pixels.push_back(line);
    }
    return result.status == 0 ? pixels : Pixels{};
}

bool write_image(const std::string& path, const Pixels& pixels) {
    if (!pil_available()) {
        return false;
    }
    const char* script =
        "import sys\n"
        "from PIL import Image\n"
        "rows = sys.stdin.read().split()\n"
        "im = Image.new('1', (len(rows[0]), len(rows)), 1)\n"
        "for y, row in enumerate(rows):\n"
        "    for x, c in enumerate(row):\n"
        "        im.putpixel((x, y), 0 if c == '#' else 1)\n"
        "im.save(sys.argv[1])\n";
    std::string input;
    for (const std::string& line : pixels) {
        input += line + "\n";
    }
    return run_command({kPython, "-c", script, path}, {}, input).status == 0;
}

Pixels pattern(std::size_t height, std::size_t width) {
    Pixels pixels(height, std::string(width, '.'));
    for (std::size_t r = 0; r < height; ++r) {
        for (std::size_t c = 0; c < width; ++c) {
            if ((r * 7 + c * 3) % 5 == 0 || r == c || c == 0 || r + 1 == height) {
                pixels[r][c] = '#';
            }
        }
    }
    return pixels;
}

}  // namespace varkit::testing

namespace varkit::testing {

std::string text_field(const Bytes& file, std::size_t offset, std::size_t width) {
    std::string text(file.begin() + static_cast<long>(offset),
                     file.begin() + static_cast<long>(offset + width));
    return text.substr(0, text.find('\0'));
}

}  // namespace varkit::testing
