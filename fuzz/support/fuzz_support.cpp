#include "fuzz/support/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

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

int run_program(ProgramMain program, std::vector<std::string> args, Platform& platform) {
    args.insert(args.begin(), "prog");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    char* out_buffer = nullptr;
    char* err_buffer = nullptr;
    std::size_t out_size = 0;
    std::size_t err_size = 0;
    FILE* out = open_memstream(&out_buffer, &out_size);
    FILE* err = open_memstream(&err_buffer, &err_size);
    Runtime rt{out, err, platform};
    int status = program(static_cast<int>(args.size()), argv.data(), rt);
    std::fclose(out);
    std::fclose(err);
    std::free(out_buffer);
    std::free(err_buffer);
    return status;
}

}  // namespace varkit::fuzzing
