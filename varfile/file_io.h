// Opening the files the programs read and update. Streams are owned by a
// unique_ptr that closes them, so no path leaks one.
#pragma once

#include <cstdio>
#include <memory>

namespace varkit {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing regular file in binary mode, for reading or for reading
// and updating; never creates one. A directory, device or pipe is refused
// rather than opened, and opening never waits on a pipe without a writer.
FilePtr open_existing_file(const char* path, bool for_update);

// The size of an open file in bytes, or -1 when it cannot be told.
long file_size(std::FILE* file);

}  // namespace varkit

#include <string>

namespace varkit {

// An output file that appears only complete. The bytes go to a temporary
// file beside the target; commit() renames it over the target, so a failed
// run leaves the old file, or none, and never an empty or half-written one.
// Without commit() the temporary file is removed.
class OutputFile {
  public:
    explicit OutputFile(std::string target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file, open for update ("w+b"); false when the
    // target's folder cannot take it, the target is empty or an existing
    // target is not a regular file.
    bool open();
    std::FILE* stream() const { return file_.get(); }
    // Flushes, closes and renames; false (and the target untouched) when any
    // of it fails.
    bool commit();

  private:
    std::string target_;
    std::string temporary_;
    FilePtr file_;
};

// An intermediate file with a unique name in the temporary directory
// ($TMPDIR, else /tmp), removed when the object goes.
class ScratchFile {
  public:
    explicit ScratchFile(const char* suffix);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // False when no such file could be created.
    bool created() const { return !path_.empty(); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace varkit
