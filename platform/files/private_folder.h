// What the clipboard folder asks of the system it runs on: a folder only its
// user reaches, held open, and the few steps on the files in it. Each system
// has its own source file for these (private_folder_posix.cpp,
// private_folder_win32.cpp); the clipboard folder's rules are written once, in
// clipboard_folder.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"

namespace varkit {

// $VARKIT_CLIPBOARD_DIR, else the system's place for a user's private
// run-time files: $XDG_RUNTIME_DIR/varkit-clipboard or
// /tmp/varkit-clipboard-<uid> on Unix, varkit-clipboard in the user's local
// application data (or temporary folder) on Windows.
std::string default_clipboard_folder();

// 64 bits no other program can guess.
std::uint64_t random_bits();

class PrivateFolder {
  public:
    // Creates the folder when missing (mode 0700 on Unix) and opens it,
    // without following a link: nothing when it is a link, not a folder,
    // not the user's or open to others. Held open, the folder cannot be
    // swapped for another between this check and the steps below.
    static std::optional<PrivateFolder> open(std::string path);

    // The lock file `name` taken, without waiting: Taken, and the open lock
    // in `lock`, which lets go when closed or its process ends; Busy while
    // another holds it.
    enum class Lock { Taken, Busy, Failed };
    Lock try_lock(const char* name, UniqueFd& lock) const;

    // The names of the files that begin with `prefix`.
    std::vector<std::string> names_beginning(std::string_view prefix) const;
    // The path of the file `name` in the folder.
    std::string path_of(const std::string& name) const;
    // A new file, created for writing; invalid when the name is taken.
    UniqueFd create_new(const std::string& name) const;
    // Renames `from` over `to` in one step.
    bool rename_over(const std::string& from, const std::string& to) const;
    // True also when there was no such file.
    bool remove(const std::string& name) const;
    // A regular file opened for reading, never waiting on it, and its size;
    // invalid for a link, FIFO, device or anything else.
    UniqueFd open_regular(const std::string& name, std::int64_t& size) const;

  private:
    PrivateFolder(std::string path, UniqueFd folder)
        : path_(std::move(path)), folder_(std::move(folder)) {}

    std::string path_;
    UniqueFd folder_;
};

}  // namespace varkit
