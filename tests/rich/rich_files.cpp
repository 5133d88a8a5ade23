#include "tests/rich/rich_files.h"

#include <cstdio>

#include "tests/support/variable_files.h"

namespace varkit::testing {
namespace {

void put_le(Bytes& file, std::size_t offset, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        file[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void put_text(Bytes& file, std::size_t offset, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < text.size() && i < width; ++i) {
        file[offset + i] = static_cast<std::uint8_t>(text[i]);
    }
}

}  // namespace

Bytes text_data(const std::string& text) {
    Bytes data{0x00, 0x01};
    data.insert(data.end(), text.begin(), text.end());
    data.push_back(0x00);
    data.push_back(0xE0);
    return data;
}

Bytes string_data(const std::string& characters) {
    Bytes data{0x00};
    data.insert(data.end(), characters.begin(), characters.end());
    data.push_back(0x00);
    data.push_back(0x2D);
    return data;
}

Bytes picture_data(std::uint16_t rows, std::uint16_t columns, const Bytes& row_bytes) {
    Bytes data{static_cast<std::uint8_t>(rows >> 8), static_cast<std::uint8_t>(rows),
               static_cast<std::uint8_t>(columns >> 8), static_cast<std::uint8_t>(columns)};
    data.insert(data.end(), row_bytes.begin(), row_bytes.end());
    data.push_back(0xDF);
    return data;
}

Bytes make_group_file(const std::string& signature, const std::string& header_folder,
                      const std::vector<GroupEntry>& entries) {
    const std::size_t table_end = 64 + 16 * entries.size();
    Bytes file(table_end + 2, 0);
    put_text(file, 0, signature, 8);
    put_le(file, 8, 1, 2);
    put_text(file, 10, header_folder, 8);
    put_text(file, 18, "made by the rich text tests", 40);
    put_le(file, 58, static_cast<std::uint32_t>(entries.size()), 2);
    std::uint32_t data_offset = static_cast<std::uint32_t>(table_end + 2);
    put_le(file, 60, data_offset, 4);
    file[table_end] = 0xA5;
    file[table_end + 1] = 0x5A;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const GroupEntry& entry = entries[i];
        const std::size_t at = 64 + 16 * i;
        put_text(file, at, entry.name, 8);
        file[at + 8] = entry.type_code;
        if (entry.type_code != 31) {
            file.insert(file.end(), {0, 0, 0, 0, static_cast<std::uint8_t>(entry.data.size() >> 8),
                                     static_cast<std::uint8_t>(entry.data.size())});
            file.insert(file.end(), entry.data.begin(), entry.data.end());
            std::uint16_t checksum = expected_checksum(entry.data);
            file.push_back(static_cast<std::uint8_t>(checksum));
            file.push_back(static_cast<std::uint8_t>(checksum >> 8));
            data_offset = static_cast<std::uint32_t>(file.size());
        }
        put_le(file, at + 12, data_offset, 4);
    }
    return file;
}

std::string expected_prolog(const std::string& model, const std::string& title_type,
                            const std::string& name, const std::string& comment_type,
                            int default_font, const std::string& extra_font_entry) {
    static const char kFormat[] =
        "{\\rtf1\\ansi\\deflang1033\\deff%d{\\fonttbl{\\f0\\fnil\\fcharset0\\fprq0 "
        "Ti92Pluspc;{\\*\\falt Courier New}}{\\f1\\fmodern\\fcharset0\\fprq0 Courier "
        "New;}{\\f2\\froman\\fcharset0\\fprq0 Times New "
        "Roman;}{\\f3\\fscript\\fcharset0\\fprq0 Signature;}{\\f4\\fnil\\fcharset0\\fprq0 Comic "
        "Sans MS;}{\\f5\\fnil\\fcharset0\\fprq0 Ti92PpcBold;{\\*\\falt Courier "
        "New}}%s}\n{\\colortbl\\red0\\green0\\blue0;}\n{\\info{\\title TI-%s %s - "
        "%s}{\\doccomm Converted from a TI-%s %s "
        "file}}\n\\noxlattoyen\\viewkind1\\ftnbj\\ftnrestart\\aftnnar\\revisions\\sectd\\sbknone"
        "\\endnhere\n";
    int size =
        std::snprintf(nullptr, 0, kFormat, default_font, extra_font_entry.c_str(), model.c_str(),
                      title_type.c_str(), name.c_str(), model.c_str(), comment_type.c_str());
    std::string prolog(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(prolog.data(), prolog.size(), kFormat, default_font, extra_font_entry.c_str(),
                  model.c_str(), title_type.c_str(), name.c_str(), model.c_str(),
                  comment_type.c_str());
    prolog.pop_back();
    return prolog;
}

}  // namespace varkit::testing
