#include "fuzz/support/fuzz_support.h"

#include "tests/support/program_run.h"

#include <sys/mman.h>
#include <unistd.h>

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

int run_program(int (*program)(int, char**, Runtime&), const std::vector<std::string>& args,
                Platform& platform) {
    return testing::run_in_process(program, args, platform).status;
}

}  // namespace varkit::fuzzing
