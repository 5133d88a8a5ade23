#include "fuzz/support/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/program_run.h"
#include "varfile/varfile.h"

namespace varkit::fuzzing {

MemoryFile::MemoryFile(const std::uint8_t* data, std::size_t size) {
    fd_ = memfd_create("fuzz-input", MFD_CLOEXEC);
    if (fd_ < 0 || (size > 0 && write(fd_, data, size) != static_cast<ssize_t>(size))) {
        throw std::runtime_error("memfd_create failed");
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    close(fd_);
}

FilePtr MemoryFile::open() const {
    FilePtr file(std::fopen(path_.c_str(), "rb"));
    require(file != nullptr, "the input file cannot be opened");
    return file;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varkit-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::optional<std::string> read_whole_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_whole_file(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    require(static_cast<bool>(out), "an input file cannot be written");
}

int run_program(int (*program)(int, char**, Runtime&), const std::vector<std::string>& args,
                Platform& platform) {
    return testing::run_in_process(program, args, platform).status;
}

void require_sound_variable_file(const std::string& path) {
    FilePtr file = open_existing_file(path.c_str(), false);
    require(file != nullptr, "a successful run left no file");
    unsigned length = vf_data_length(file.get());
    require(file_size(file.get()) == static_cast<long>(length) + kFileOverhead,
            "the file size is not data length + 90");
    require(vf_compute_checksum(file.get()) == vf_stored_checksum(file.get()),
            "the written checksum is wrong");
}

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "Property broken: %s\n", what);
        std::abort();
    }
}

}  // namespace varkit::fuzzing
