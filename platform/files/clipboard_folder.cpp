#include "platform/files/clipboard_folder.h"
#include "platform/files/clipboard_folder_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace varkit {
namespace {

using folder_names::env_or_empty;
using folder_names::kLargestFile;
using folder_names::kLockRetry;
using folder_names::kTemporaryPrefix;

constexpr const char* kLockName = "lock";

// "dir/" would follow a link named dir despite O_NOFOLLOW.
std::string without_trailing_slashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

bool is_private_folder(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & 077) == 0;
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string temporary_name(const char* name) {
    std::uint64_t random = 0;
    if (getrandom(&random, sizeof random, 0) != sizeof random) {
        random = static_cast<std::uint64_t>(
                     std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 static_cast<std::uint64_t>(getpid());
    }
    return folder_names::temporary_name(name, random);
}

}  // namespace

std::string default_clipboard_folder() {
    if (std::string dir = env_or_empty("VARKIT_CLIPBOARD_DIR"); !dir.empty()) {
        return dir;
    }
    if (std::string runtime = env_or_empty("XDG_RUNTIME_DIR"); !runtime.empty()) {
        return runtime + "/varkit-clipboard";
    }
    return "/tmp/varkit-clipboard-" + std::to_string(geteuid());
}

ClipboardFolder::ClipboardFolder(std::string path, std::chrono::milliseconds lock_wait)
    : path_(without_trailing_slashes(std::move(path))), lock_wait_(lock_wait) {}

// The folder is opened without following a link and checked on the opened
// descriptor, and every later step works relative to it, so nobody can swap
// in another folder between the check and the use.
bool ClipboardFolder::open_folder() {
    if (mkdir(path_.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    UniqueFd folder(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid() || !is_private_folder(folder.get())) {
        return false;
    }
    folder_ = std::move(folder);
    return true;
}

bool ClipboardFolder::lock() {
    if (locked()) {
        return true;
    }
    if (!open_folder()) {
        return false;
    }
    // The lock file is never renamed or removed, so every program locks the
    // same file.
    UniqueFd lock_file(
        openat(folder_.get(), kLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock_file.valid()) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + lock_wait_;
    while (flock(lock_file.get(), LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    lock_ = std::move(lock_file);
    remove_leftover_temporaries();
    return true;
}

void ClipboardFolder::unlock() {
    lock_.reset();
    folder_.reset();
}

// Holding the lock means no writer of ours is at work, so any temporary file
// left is one a crashed writer never renamed.
void ClipboardFolder::remove_leftover_temporaries() {
    int listing_fd = fcntl(folder_.get(), F_DUPFD_CLOEXEC, 0);
    if (listing_fd < 0) {
        return;
    }
    DIR* listing = fdopendir(listing_fd);
    if (listing == nullptr) {
        ::close(listing_fd);
        return;
    }
    std::vector<std::string> leftovers;
    while (const dirent* entry = readdir(listing)) {
        if (std::string_view(entry->d_name).starts_with(kTemporaryPrefix)) {
            leftovers.emplace_back(entry->d_name);
        }
    }
    closedir(listing);
    for (const std::string& name : leftovers) {
        unlinkat(folder_.get(), name.c_str(), 0);
    }
}

bool ClipboardFolder::write(const char* name, std::string_view bytes) {
    if (!folder_.valid()) {
        return false;
    }
    std::string temporary = temporary_name(name);
    UniqueFd file(openat(folder_.get(), temporary.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.valid()) {
        return false;
    }
    bool written = write_all(file.get(), bytes);
    written = ::close(file.release()) == 0 && written;
    if (!written || renameat(folder_.get(), temporary.c_str(), folder_.get(), name) != 0) {
        unlinkat(folder_.get(), temporary.c_str(), 0);
        return false;
    }
    return true;
}

std::optional<std::string> ClipboardFolder::read(const char* name) const {
    return read(name, kLargestFile);
}

std::optional<std::string> ClipboardFolder::read(const char* name, off_t largest) const {
    if (!folder_.valid()) {
        return std::nullopt;
    }
    // Opening a FIFO without O_NONBLOCK would wait for a writer.
    UniqueFd file(openat(folder_.get(), name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!file.valid() || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > std::min(largest, kLargestFile)) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

bool ClipboardFolder::remove(const char* name) {
    return folder_.valid() && (unlinkat(folder_.get(), name, 0) == 0 || errno == ENOENT);
}

}  // namespace varkit
