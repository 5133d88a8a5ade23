#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/test_files.h"
#include "tests/support/variable_files.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

using testing::Bytes;
using testing::make_variable_file;
using testing::VariableFileSpec;

// A read/write stream holding the given bytes.
FilePtr stream_of(const Bytes& bytes) {
    FilePtr file(std::tmpfile());
    if (!bytes.empty()) {
        std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    }
    std::rewind(file.get());
    return file;
}

Bytes contents_of(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    Bytes bytes;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
    return bytes;
}

Bytes empty_text_data() {
    return {0x00, 0x01, 0x20, 0x00, 0xE0};
}

TEST(CalculatorCode, ModelNumberAndLetters) {
    auto code_of = [](const std::string& bytes) {
        return vf_calculator_code(stream_of(Bytes(bytes.begin(), bytes.end())).get());
    };
    EXPECT_EQ(code_of("**TI89**"), 5832704);
    EXPECT_EQ(code_of("**TI92**"), 6029312);
    EXPECT_EQ(code_of("**TI92P*"), 6029392);
    EXPECT_EQ(code_of("abcdefgh"), 0);
    // A short file gives the code of the bytes it has.
    EXPECT_EQ(code_of("**TI9"), 9 << 16);
    EXPECT_EQ(code_of(""), 0);
    // Only the first 8 bytes count, and letters stop at the first '*'.
    EXPECT_EQ(code_of("**TI83F*junk"), (83 << 16) | 'F');
    EXPECT_EQ(vf_model_number(code_of("**TI92P*")), 92u);
    EXPECT_EQ(vf_calculator_code(nullptr), 0);
}

TEST(FormatWord, ReadsLittleEndianAndFailsOnShortFiles) {
    Bytes file = make_variable_file({});
    EXPECT_EQ(vf_format_word(stream_of(file).get()), 1u);
    file[8] = 0x34;
    file[9] = 0x12;
    EXPECT_EQ(vf_format_word(stream_of(file).get()), 0x1234u);
    EXPECT_EQ(vf_format_word(stream_of(Bytes(file.begin(), file.begin() + 9)).get()), 0u);
}

TEST(Header, ReadWriteReproducesTheBytesAndKeepsTheRecordInHostOrder) {
    VariableFileSpec spec;
    spec.signature = "**TI92P*";
    spec.comment = std::string(40, 'c');  // fills the field with no zero
    spec.name = "longname";
    spec.data = Bytes(0x1234, 0x41);
    Bytes file = make_variable_file(spec);
    file[74] = 0x77;  // reserved bytes survive too
    file[85] = 0x66;

    FilePtr in = stream_of(file);
    VarHeader header;
    ASSERT_EQ(vf_read_header(&header, in.get()), 1);
    EXPECT_EQ(header.data_length, 0x1234);
    EXPECT_EQ(header.file_size, 0x1234u + 90);
    EXPECT_EQ(header.type_code, 11);
    EXPECT_EQ(header.marker, 0x5AA5);
    EXPECT_EQ(std::string(header.name.begin(), header.name.end()), "longname");
    EXPECT_EQ(std::ftell(in.get()), 88);

    FilePtr out(std::tmpfile());
    ASSERT_EQ(vf_write_header(&header, out.get()), 1);
    EXPECT_EQ(header.data_length, 0x1234);  // the caller's record is untouched
    Bytes written = contents_of(out.get());
    EXPECT_EQ(written, Bytes(file.begin(), file.begin() + 88));
    EXPECT_EQ(written[86], 0x12);
    EXPECT_EQ(written[87], 0x34);
}

TEST(Header, ShortFileKeepsTheBytesItHad) {
    Bytes file = make_variable_file({});
    file.resize(87);
    VarHeader header;
    EXPECT_EQ(vf_read_header(&header, stream_of(file).get()), 0);
    EXPECT_EQ(std::string(header.signature.begin(), header.signature.end()), "**TI89**");
    EXPECT_EQ(header.type_code, 11);
    EXPECT_EQ(vf_read_header(nullptr, stream_of(file).get()), 0);
    EXPECT_EQ(vf_read_header(&header, nullptr), 0);
    EXPECT_EQ(vf_write_header(&header, nullptr), 0);
}

TEST(EntryTable, FileHeaderAndEntriesRoundTrip) {
    // A group: a folder entry followed by a string variable.
    Bytes file(64 + 32 + 10, 0);
    std::copy_n("**TI92**", 8, file.begin());
    file[8] = 1;
    file[58] = 2;
    file[60] = 96;
    std::copy_n("group", 5, file.begin() + 64);
    file[72] = 31;
    file[76] = 96;
    std::copy_n("str", 3, file.begin() + 80);
    file[88] = 12;
    file[89] = 1;
    file[92] = 106;

    FilePtr in = stream_of(file);
    FileHeader header;
    ASSERT_EQ(vf_read_file_header(&header, in.get()), 1);
    EXPECT_EQ(header.entry_count, 2);
    EXPECT_EQ(header.data_offset, 96u);
    EntryRecord folder, variable;
    ASSERT_EQ(vf_read_entry(&folder, in.get()), 1);
    ASSERT_EQ(vf_read_entry(&variable, in.get()), 1);
    EXPECT_EQ(folder.type_code, 31);
    EXPECT_EQ(folder.next_offset, 96u);
    EXPECT_EQ(variable.type_code, 12);
    EXPECT_EQ(variable.attribute, 1);
    EXPECT_EQ(variable.next_offset, 106u);

    FilePtr out(std::tmpfile());
    ASSERT_EQ(vf_write_file_header(&header, out.get()), 1);
    ASSERT_EQ(vf_write_entry(&folder, out.get()), 1);
    ASSERT_EQ(vf_write_entry(&variable, out.get()), 1);
    EXPECT_EQ(contents_of(out.get()), Bytes(file.begin(), file.begin() + 96));

    // Only 10 bytes are left after the table: a 16-byte entry read counts nothing.
    EXPECT_EQ(vf_read_entry(&variable, in.get()), 0);
    EXPECT_EQ(vf_read_entry(nullptr, in.get()), 0);
}

TEST(Dimensions, BigEndianPairAtOffset88) {
    VariableFileSpec spec;
    spec.type_code = 16;
    spec.data = {0x00, 0x40, 0x00, 0xF0, 0xDF};
    FilePtr file = stream_of(make_variable_file(spec));
    Dimensions size;
    ASSERT_EQ(vf_read_dimensions(&size, file.get()), 1);
    EXPECT_EQ(size.rows, 64);
    EXPECT_EQ(size.columns, 240);

    Dimensions bigger{0x0102, 0x0304};
    ASSERT_EQ(vf_write_dimensions(&bigger, file.get()), 1);
    EXPECT_EQ(bigger.rows, 0x0102);  // unchanged for the caller
    Bytes bytes = contents_of(file.get());
    EXPECT_EQ(Bytes(bytes.begin() + 88, bytes.begin() + 92), (Bytes{1, 2, 3, 4}));

    // The word pair works at the current position, wherever the caller put it.
    std::fseek(file.get(), 88, SEEK_SET);
    ASSERT_EQ(vf_read_word_pair(&size, file.get()), 1);
    EXPECT_EQ(size.columns, 0x0304);
    EXPECT_EQ(vf_read_dimensions(nullptr, file.get()), 0);
    EXPECT_EQ(vf_read_word_pair(&size, nullptr), 0);
}

TEST(Checksum, SumsLengthAndDataOnly) {
    VariableFileSpec spec;
    spec.data = empty_text_data();
    Bytes bytes = make_variable_file(spec);
    ASSERT_EQ(bytes.size(), 95u);
    FilePtr file = stream_of(bytes);
    EXPECT_EQ(vf_data_length(file.get()), 5u);
    EXPECT_EQ(vf_compute_checksum(file.get()), 262u);
    EXPECT_EQ(std::ftell(file.get()), 93);  // left at the checksum
    EXPECT_EQ(vf_stored_checksum(file.get()), 262u);

    // The header before the length field is not covered.
    bytes[20] = 'X';
    EXPECT_EQ(vf_compute_checksum(stream_of(bytes).get()), 262u);
}

TEST(Checksum, EmptyShortAndHugeFiles) {
    VariableFileSpec spec;
    Bytes empty = make_variable_file(spec);
    EXPECT_EQ(vf_compute_checksum(stream_of(empty).get()), 0u);

    spec.data = empty_text_data();
    Bytes cut = make_variable_file(spec);
    cut.resize(88 + 3);  // ends inside the data
    EXPECT_EQ(vf_compute_checksum(stream_of(cut).get()), 0u);
    cut.resize(87);  // ends inside the length field
    EXPECT_EQ(vf_data_length(stream_of(cut).get()), 0u);
    EXPECT_EQ(vf_stored_checksum(stream_of(Bytes{7}).get()), 0u);
    EXPECT_EQ(vf_compute_checksum(nullptr), 0u);
    EXPECT_EQ(vf_stored_checksum(nullptr), 0u);

    // The largest lengths: n + 2 bytes no longer fit in 16 bits.
    for (std::size_t n : {65534u, 65535u}) {
        spec.data = Bytes(n, 0xFF);
        Bytes large = make_variable_file(spec);
        std::uint32_t sum = 0xFF + (n & 0xFF) + 0xFF * static_cast<std::uint32_t>(n);
        EXPECT_EQ(vf_compute_checksum(stream_of(large).get()), sum & 0xFFFF) << n;
    }
}

TEST(Checksum, WrittenLittleEndianAtTheCurrentPosition) {
    FilePtr file(std::tmpfile());
    ASSERT_EQ(vf_write_checksum(0x1234, file.get()), 1);
    EXPECT_EQ(contents_of(file.get()), (Bytes{0x34, 0x12}));
    EXPECT_EQ(vf_write_checksum(1, nullptr), 0);
}

TEST(Seek, RewindsAndReportsFailure) {
    FilePtr file = stream_of(Bytes(10, 0));
    EXPECT_EQ(vf_seek(4, file.get()), 0);
    EXPECT_EQ(std::ftell(file.get()), 4);
    EXPECT_NE(vf_seek(-5, file.get()), 0);
    EXPECT_EQ(vf_seek(0, nullptr), -1);
}

TEST(TypeNames, NamesTheTableAndNothingBeyond) {
    EXPECT_STREQ(vf_type_name(0), "EXPR");
    EXPECT_STREQ(vf_type_name(11), "TEXT");
    EXPECT_STREQ(vf_type_name(12), "STR");
    EXPECT_STREQ(vf_type_name(16), "PIC");
    EXPECT_STREQ(vf_type_name(31), "GROUP");
    EXPECT_STREQ(vf_type_name(33), "ASM");
    EXPECT_STREQ(vf_type_name(15), "?");
    EXPECT_STREQ(vf_type_name(32), "?");
    EXPECT_STREQ(vf_type_name(34), "?");
    EXPECT_STREQ(vf_type_name(139), "?");
    EXPECT_STREQ(vf_type_name(255), "?");
}

}  // namespace
}  // namespace varkit

namespace varkit {
namespace {

TEST(NewFiles, SignatureFromTheFileNameAlone) {
    EXPECT_STREQ(signature_for_file_name("a.92i.9xi", "i"), "**TI92P*");
    EXPECT_STREQ(signature_for_file_name("old.9xi.bak", "i"), "**TI92P*");
    EXPECT_STREQ(signature_for_file_name("C:\\calc\\pic.92i", "i"), "**TI92**");
    EXPECT_STREQ(signature_for_file_name("old.92/notes.89t", ""), "**TI89**");
    EXPECT_EQ(signature_for_file_name("pic.9XI", "i"), nullptr) << "case counts";
    EXPECT_EQ(signature_for_file_name("pic.9xt", "i"), nullptr);
    EXPECT_EQ(signature_for_file_name("", ""), nullptr);
}

TEST(NewFiles, HeaderAndChecksumMakeASoundFile) {
    testing::VariableFileSpec spec;
    spec.signature = "**TI92P*";
    spec.folder = "";
    spec.name = "";
    spec.type_code = kTypeString;
    spec.data = {0x00, 'h', 'i', 0x00, 0x2D};
    Bytes expected = make_variable_file(spec);

    VarHeader header = new_variable_header("**TI92P*", kTypeString, 5);
    FilePtr file(std::tmpfile());
    ASSERT_EQ(vf_write_header(&header, file.get()), 1);
    std::fwrite(spec.data.data(), 1, spec.data.size(), file.get());
    ASSERT_TRUE(append_checksum(file.get()));
    EXPECT_EQ(contents_of(file.get()), expected);
}

}  // namespace
}  // namespace varkit
