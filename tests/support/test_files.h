// Temporary folders and whole-file reads and writes for tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace varkit::testing {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary directory, removed with all it
// holds when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

Bytes read_file(const std::string& path);
void write_file(const std::string& path, const Bytes& bytes);
void write_file(const std::string& path, const std::string& bytes);

// A sample of ../shared/samples/, or "" when that folder is absent.
std::string sample_path(const std::string& relative);

// The listing of a folder's entries, sorted, for "nothing else was left" checks.
std::vector<std::string> list_dir(const std::string& path);

// A tool's output as its lines, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

}  // namespace varkit::testing
