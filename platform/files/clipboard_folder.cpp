#include "platform/files/clipboard_folder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "varfile/file_io.h"

namespace varkit {
namespace {

constexpr const char* kLockName = "lock";
constexpr auto kLockRetry = std::chrono::milliseconds(5);
// Temporary files start with this, so a writer that died half-way leaves a
// name the next lock holder recognises and removes.
constexpr std::string_view kTemporaryPrefix = ".incoming-";
// Nothing the suite places comes near this; it keeps a stray huge file from
// being read into memory.
constexpr std::int64_t kLargestFile = std::int64_t{256} << 20;
// What one read or write asks for at most.
constexpr std::size_t kLargestPiece = std::size_t{1} << 20;

// The temporary file that becomes `name`, told apart from others by 64
// random bits.
std::string temporary_name(const char* name) {
    static const char digits[] = "0123456789abcdef";
    const std::uint64_t random = random_bits();
    std::string temporary = std::string(kTemporaryPrefix) + name + "-";
    for (int i = 0; i < 16; ++i) {
        temporary += digits[(random >> (4 * i)) & 15];
    }
    return temporary;
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        auto n =
            ::write(fd, bytes.data(), static_cast<unsigned>(std::min(bytes.size(), kLargestPiece)));
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

std::optional<std::string> read_all(int fd, std::int64_t size) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    std::string piece(65536, '\0');
    for (;;) {
        auto n = ::read(fd, piece.data(), static_cast<unsigned>(piece.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(piece, 0, static_cast<std::size_t>(n));
    }
}

}  // namespace

ClipboardFolder::ClipboardFolder(std::string path, std::chrono::milliseconds lock_wait)
    : path_(std::move(path)), lock_wait_(lock_wait) {}

bool ClipboardFolder::lock() {
    if (locked()) {
        return true;
    }
    folder_ = PrivateFolder::open(path_);
    if (!folder_) {
        return false;
    }
    // The lock file is never renamed or removed, so every program locks the
    // same file.
    const auto deadline = std::chrono::steady_clock::now() + lock_wait_;
    for (;;) {
        switch (folder_->try_lock(kLockName, lock_)) {
            case PrivateFolder::Lock::Taken:
                remove_leftover_temporaries();
                return true;
            case PrivateFolder::Lock::Busy:
                break;
            case PrivateFolder::Lock::Failed:
                unlock();
                return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            unlock();
            return false;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
}

void ClipboardFolder::unlock() {
    lock_.reset();
    folder_.reset();
}

// Holding the lock means no writer of ours is at work, so any temporary file
// left is one a crashed writer never renamed.
void ClipboardFolder::remove_leftover_temporaries() {
    for (const std::string& name : folder_->names_beginning(kTemporaryPrefix)) {
        folder_->remove(name);
    }
}

bool ClipboardFolder::write(const char* name, std::string_view bytes) {
    if (!locked()) {
        return false;
    }
    // An interrupted run removes the temporary file too.
    const std::string temporary = temporary_name(name);
    TemporaryPath made;
    UniqueFd file;
    if (!made.make([&]() -> std::optional<std::string> {
            file = folder_->create_new(temporary);
            if (!file.valid()) {
                return std::nullopt;
            }
            return folder_->path_of(temporary);
        })) {
        return false;
    }
    bool written = write_all(file.get(), bytes);
    written = ::close(file.release()) == 0 && written;
    if (!written || !folder_->rename_over(temporary, name)) {
        return false;
    }
    made.keep();
    return true;
}

std::optional<std::string> ClipboardFolder::read(const char* name) const {
    return read(name, kLargestFile);
}

std::optional<std::string> ClipboardFolder::read(const char* name, std::int64_t largest) const {
    if (!locked()) {
        return std::nullopt;
    }
    std::int64_t size = 0;
    UniqueFd file = folder_->open_regular(name, size);
    if (!file.valid() || size > std::min(largest, kLargestFile)) {
        return std::nullopt;
    }
    return read_all(file.get(), size);
}

bool ClipboardFolder::remove(const char* name) {
    return locked() && folder_->remove(name);
}

}  // namespace varkit
