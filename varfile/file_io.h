// Opening the files the programs read and update. Streams are owned by a
// unique_ptr that closes them, so no path leaks one. Paths are UTF-8 on
// Windows, the system's bytes elsewhere.
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

// True unless nothing is at `path`: a lookup that fails for another reason
// than a missing name counts as something there.
bool path_taken(const char* path);

// The size of an open file in bytes, or -1 (and the stream's error
// indicator set) when it cannot be told.
long file_size(std::FILE* file);

// Sets the stream's error indicator, which standard C can only read: a seek
// or a size query that failed is then seen by the same std::ferror check as
// a failed read or write. Each system's C library keeps the flag its own way.
void set_stream_error(std::FILE* stream);

}  // namespace varkit

#include <functional>
#include <optional>
#include <string>

namespace varkit {

// The name of a file this run made and must not leave behind: removed when
// the object goes unless kept, and also when the run is interrupted (SIGINT,
// SIGTERM or SIGHUP; Ctrl-C, Ctrl-Break or the console closing on Windows).
class TemporaryPath {
  public:
    TemporaryPath() = default;
    ~TemporaryPath() { remove(); }
    TemporaryPath(const TemporaryPath&) = delete;
    TemporaryPath& operator=(const TemporaryPath&) = delete;

    // Makes a file with `make_file`, which gives its path (nothing when it
    // made none), and takes charge of it. Interruptions wait meanwhile, so
    // none can come between the making and this.
    bool make(const std::function<std::optional<std::string>()>& make_file);
    const std::string& path() const { return path_; }
    bool empty() const { return path_.empty(); }
    // Removes the file.
    void remove();
    // Lets go of the name without removing it: the file was renamed away.
    void keep();

  private:
    std::string path_;
    int slot_ = -1;
};

// An output file that appears only complete. The bytes go to a temporary
// file beside the target; commit() renames it over the target, so a failed
// run leaves the old file, or none, and never an empty or half-written one.
// Without commit() the temporary file is removed, also when the run is
// interrupted.
//
// A target that is a symbolic link is replaced at the link's end, so the link
// stays; a replaced file keeps its mode (and owner and group where the
// process may set them), on Windows its attributes (read-only among them). A
// target that is no regular file (a terminal, a pipe, a device such as
// /dev/stdout or NUL) cannot be renamed over: the bytes are gathered in an
// unnamed scratch file and copied to it by commit().
class OutputFile {
  public:
    explicit OutputFile(std::string target) : target_(std::move(target)) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file, open for update ("w+b"); false when the
    // target's folder cannot take it, the target is empty or a folder.
    bool open();
    std::FILE* stream() const { return file_.get(); }
    // Flushes, syncs, closes and renames (or copies, for a target that is no
    // regular file); false (and a regular target untouched) when any write,
    // flush, sync, close or rename fails, also one made before.
    bool commit();
    // As commit(), but nothing is ever replaced: when the target's name is
    // taken (by a file, a link or anything else) it stays as it was and the
    // bytes are dropped.
    enum class NewFile { Written, Taken, Failed };
    NewFile commit_new();

  private:
    bool open_beside(const std::string& destination);
    bool open_direct();
    bool commit_direct();
    bool close_temporary();

    std::string target_;
    std::string destination_;  // the file the output replaces or is copied into
    TemporaryPath temporary_;
    bool direct_ = false;
    // Declared last, so the stream is closed before its file is removed.
    FilePtr file_;
};

// An intermediate file with a unique name in the temporary directory
// ($TMPDIR, else /tmp; the user's temporary folder on Windows), removed when
// the object goes.
class ScratchFile {
  public:
    explicit ScratchFile(const char* suffix);

    // False when no such file could be created.
    bool created() const { return !temporary_.empty(); }
    const std::string& path() const { return temporary_.path(); }
    // The file, new and empty, opened for reading and writing.
    FilePtr open_for_update() const;

  private:
    TemporaryPath temporary_;
};

// Ends a run's use of the standard output: flushes and closes it. When that
// fails, or an earlier write to it failed, prints "Error: Can't write to
// standard output." on the standard error and gives status 1; otherwise
// gives `status` back. Each program's main() returns through it.
int finish_standard_output(int status);

}  // namespace varkit
