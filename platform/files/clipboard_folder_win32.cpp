// The clipboard folder on Windows, for VARKIT_CLIPBOARD=files there: the same
// files and the same atomic replacement, with a lock file held open without
// sharing in place of flock.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/files/clipboard_folder.h"
#include "platform/files/clipboard_folder_names.h"

namespace varkit {
namespace {

using folder_names::env_or_empty;
using folder_names::kLargestFile;
using folder_names::kLockRetry;
using folder_names::kTemporaryPrefix;

constexpr const char* kLockName = "lock";

std::string without_trailing_separators(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}

// A real folder, not a junction or symbolic link to one elsewhere.
bool is_plain_folder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        int n = _write(fd, bytes.data(),
                       static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1 << 30)));
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string temporary_name(const char* name) {
    std::uint64_t random =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32);
    return folder_names::temporary_name(name, random);
}

}  // namespace

// $VARKIT_CLIPBOARD_DIR, else varkit-clipboard in the user's local
// application data, else in the temporary folder.
std::string default_clipboard_folder() {
    if (std::string dir = env_or_empty("VARKIT_CLIPBOARD_DIR"); !dir.empty()) {
        return dir;
    }
    if (std::string local = env_or_empty("LOCALAPPDATA"); !local.empty()) {
        return local + "\\varkit-clipboard";
    }
    char temporary[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof temporary, temporary);
    return std::string(temporary, length <= MAX_PATH ? length : 0) + "varkit-clipboard";
}

ClipboardFolder::ClipboardFolder(std::string path, std::chrono::milliseconds lock_wait)
    : path_(without_trailing_separators(std::move(path))), lock_wait_(lock_wait) {}

bool ClipboardFolder::open_folder() {
    CreateDirectoryA(path_.c_str(), nullptr);
    return is_plain_folder(path_);
}

// The lock file opened without sharing is the lock: a second program's open
// fails until the holder closes it or ends.
bool ClipboardFolder::lock() {
    if (locked()) {
        return true;
    }
    if (!open_folder()) {
        return false;
    }
    const std::string lock_path = path_ + "\\" + kLockName;
    const auto deadline = std::chrono::steady_clock::now() + lock_wait_;
    for (;;) {
        int fd = -1;
        errno_t failed =
            _sopen_s(&fd, lock_path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                     _SH_DENYRW, _S_IREAD | _S_IWRITE);
        if (failed == 0) {
            lock_.reset(fd);
            break;
        }
        if (failed != EACCES || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    remove_leftover_temporaries();
    return true;
}

void ClipboardFolder::unlock() {
    lock_.reset();
}

void ClipboardFolder::remove_leftover_temporaries() {
    WIN32_FIND_DATAA entry;
    const std::string pattern = path_ + "\\" + std::string(kTemporaryPrefix) + "*";
    HANDLE listing = FindFirstFileA(pattern.c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        DeleteFileA((path_ + "\\" + entry.cFileName).c_str());
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

bool ClipboardFolder::write(const char* name, std::string_view bytes) {
    if (!locked()) {
        return false;
    }
    const std::string temporary = path_ + "\\" + temporary_name(name);
    int fd = -1;
    if (_sopen_s(&fd, temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 _SH_DENYRW, _S_IREAD | _S_IWRITE) != 0) {
        return false;
    }
    UniqueFd file(fd);
    bool written = write_all(file.get(), bytes);
    written = _close(file.release()) == 0 && written;
    if (!written ||
        !MoveFileExA(temporary.c_str(), (path_ + "\\" + name).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> ClipboardFolder::read(const char* name) const {
    return read(name, kLargestFile);
}

std::optional<std::string> ClipboardFolder::read(const char* name, off_t largest) const {
    if (!locked()) {
        return std::nullopt;
    }
    int fd = -1;
    if (_sopen_s(&fd, (path_ + "\\" + name).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT,
                 _SH_DENYWR, 0) != 0) {
        return std::nullopt;
    }
    UniqueFd file(fd);
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.get()));
    if (GetFileType(handle) != FILE_TYPE_DISK ||
        _filelengthi64(file.get()) > std::min<long long>(largest, kLargestFile)) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        int n = _read(file.get(), buffer, sizeof buffer);
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
    return locked() &&
           (DeleteFileA((path_ + "\\" + name).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
}

}  // namespace varkit
