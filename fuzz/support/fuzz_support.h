// What the fuzz targets share: a fuzz input as a real file, a private
// folder for the files a program writes, and a program run on them with its
// output thrown away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "varfile/file_io.h"

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
    // A read-only stream of the bytes, from the start.
    FilePtr open() const;

  private:
    int fd_ = -1;
    std::string path_;
};

// A fresh folder (mode 0700) under the temporary directory, removed with all
// it holds when the object goes. A target keeps one for its whole run.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const char* name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// A whole file's bytes, or nothing when it cannot be read.
std::optional<std::string> read_whole_file(const std::string& path);
// Writes the bytes as the whole file; aborts when it cannot, since a target
// that cannot lay out its input tests nothing.
void write_whole_file(const std::string& path, const std::uint8_t* data, std::size_t size);

// Runs a program with the arguments, output and error into memory, and
// returns its exit status.
int run_program(int (*program)(int, char**, Runtime&), const std::vector<std::string>& args,
                Platform& platform);

// Requires a file a program reported as written to be a sound variable
// file: its size is its data length + 90 and its checksum is right.
void require_sound_variable_file(const std::string& path);

// Stops the run with the message when a property the target checks does not
// hold, so the fuzzer keeps the input as a finding.
void require(bool holds, const char* what);

}  // namespace varkit::fuzzing
