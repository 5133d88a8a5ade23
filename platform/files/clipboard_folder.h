// The private per-user folder behind the shared headless clipboard: one file
// per format, replaced atomically, and a lock file that serialises the
// programs of the suite from clipboard open to close.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/private_folder.h"
#include "platform/unique_fd.h"

namespace varkit {

// How long opening waits for another program to close the clipboard.
inline constexpr std::chrono::milliseconds kDefaultLockWait{5000};

class ClipboardFolder {
  public:
    explicit ClipboardFolder(std::string path,
                             std::chrono::milliseconds lock_wait = kDefaultLockWait);

    // Creates the folder when missing (mode 0700), opens it and takes the
    // lock, waiting a little for another program to let go of it. Fails when
    // the folder is a link, is not a folder, is not ours or others may enter
    // it, or when the lock stays taken.
    bool lock();
    // Lets go of the lock; a crashed holder lets go when its process ends.
    void unlock();
    bool locked() const { return lock_.valid(); }

    // Replaces the file `name` with `bytes` through a temporary file and a
    // rename, so a reader sees the old bytes or the new ones, never a part.
    bool write(const char* name, std::string_view bytes);
    // The file's bytes, or nothing when it is missing or unreadable.
    // A FIFO, device or other file that is not a regular one is refused
    // without waiting on it, and so is one larger than `largest` bytes.
    std::optional<std::string> read(const char* name) const;
    std::optional<std::string> read(const char* name, std::int64_t largest) const;
    // Removes the file; a file that is already missing counts as removed.
    bool remove(const char* name);

  private:
    void remove_leftover_temporaries();

    std::string path_;
    std::chrono::milliseconds lock_wait_;
    std::optional<PrivateFolder> folder_;
    UniqueFd lock_;
};

}  // namespace varkit
