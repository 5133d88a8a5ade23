// What the fuzz targets share: a fuzz input as a real file, and a program
// run on it with its output thrown away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace varkit::fuzzing {

// An anonymous in-memory file holding the input; path() names it for a
// program's command line. It goes when the object goes.
class MemoryFile {
  public:
    MemoryFile(const std::uint8_t* data, std::size_t size);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

// Runs a program with the arguments, output and error into memory, and
// returns its exit status.
int run_program(int (*program)(int, char**, Runtime&), const std::vector<std::string>& args,
                Platform& platform);

}  // namespace varkit::fuzzing
