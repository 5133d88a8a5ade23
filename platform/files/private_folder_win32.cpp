// The clipboard folder's steps on Windows: the folder is held open without
// sharing its deletion, so it cannot be renamed or replaced while in use; a
// lock file held open without sharing is the lock.
#define _CRT_RAND_S  // rand_s, the system's random numbers
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "charset/wide_text.h"
#include "platform/files/private_folder.h"

namespace varkit {
namespace {

std::string environment(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr ? utf8_from_wide(value) : "";
}

std::string without_trailing_separators(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}

// The folder itself, not a junction or symbolic link to one elsewhere, opened
// as a descriptor.
UniqueFd open_plain_folder(const std::string& path) {
    HANDLE handle = CreateFileW(wide_from_utf8(path).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return UniqueFd();
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(handle);
        return UniqueFd();
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
    if (fd < 0) {
        CloseHandle(handle);
    }
    return UniqueFd(fd);
}

UniqueFd open_file(const std::string& path, int flags, int sharing) {
    int fd = -1;
    _wsopen_s(&fd, wide_from_utf8(path).c_str(), flags | _O_BINARY | _O_NOINHERIT, sharing,
              _S_IREAD | _S_IWRITE);
    return UniqueFd(fd);
}

}  // namespace

std::string default_clipboard_folder() {
    if (std::string dir = environment(L"VARKIT_CLIPBOARD_DIR"); !dir.empty()) {
        return dir;
    }
    if (std::string local = environment(L"LOCALAPPDATA"); !local.empty()) {
        return local + "\\varkit-clipboard";
    }
    wchar_t temporary[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    return utf8_from_wide(std::wstring_view(temporary, length <= MAX_PATH ? length : 0)) +
           "varkit-clipboard";
}

std::uint64_t random_bits() {
    unsigned high = 0;
    unsigned low = 0;
    rand_s(&high);
    rand_s(&low);
    return (std::uint64_t{high} << 32) | low;
}

std::optional<PrivateFolder> PrivateFolder::open(std::string path) {
    path = without_trailing_separators(std::move(path));
    CreateDirectoryW(wide_from_utf8(path).c_str(), nullptr);
    UniqueFd folder = open_plain_folder(path);
    if (!folder.valid()) {
        return std::nullopt;
    }
    return PrivateFolder(std::move(path), std::move(folder));
}

PrivateFolder::Lock PrivateFolder::try_lock(const char* name, UniqueFd& lock) const {
    UniqueFd file = open_file(path_of(name), _O_RDWR | _O_CREAT, _SH_DENYRW);
    if (!file.valid()) {
        return errno == EACCES ? Lock::Busy : Lock::Failed;
    }
    lock = std::move(file);
    return Lock::Taken;
}

std::vector<std::string> PrivateFolder::names_beginning(std::string_view prefix) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    const std::string pattern = path_ + "\\" + std::string(prefix) + "*";
    HANDLE listing = FindFirstFileW(wide_from_utf8(pattern).c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(utf8_from_wide(entry.cFileName));
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
    return names;
}

std::string PrivateFolder::path_of(const std::string& name) const {
    return path_ + "\\" + name;
}

UniqueFd PrivateFolder::create_new(const std::string& name) const {
    return open_file(path_of(name), _O_WRONLY | _O_CREAT | _O_EXCL, _SH_DENYRW);
}

bool PrivateFolder::rename_over(const std::string& from, const std::string& to) const {
    return MoveFileExW(wide_from_utf8(path_of(from)).c_str(),
                       wide_from_utf8(path_of(to)).c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool PrivateFolder::remove(const std::string& name) const {
    return DeleteFileW(wide_from_utf8(path_of(name)).c_str()) ||
           GetLastError() == ERROR_FILE_NOT_FOUND;
}

UniqueFd PrivateFolder::open_regular(const std::string& name, std::int64_t& size) const {
    UniqueFd file = open_file(path_of(name), _O_RDONLY, _SH_DENYWR);
    if (!file.valid() ||
        GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(file.get()))) != FILE_TYPE_DISK) {
        return UniqueFd();
    }
    size = _filelengthi64(file.get());
    return size < 0 ? UniqueFd() : std::move(file);
}

}  // namespace varkit
