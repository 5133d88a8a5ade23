// The Windows side of the file layer: paths are the programs' ANSI strings,
// passed to the wide Win32 calls; every stream is in binary mode.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "varfile/file_io.h"

namespace varkit {
namespace {

std::wstring wide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        length);
    return result;
}

// A stream over an open handle; the handle is closed when that fails.
std::FILE* stream_of(HANDLE handle, bool for_update, const char* mode) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                             _O_BINARY | (for_update ? _O_RDWR : _O_RDONLY));
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, mode);
    if (file == nullptr) {
        _close(fd);
    }
    return file;
}

// Creates a file of a new name, `prefix` + six letters + `suffix`, that no
// other file had: the name and its open handle, or an empty name.
std::pair<std::string, HANDLE> create_unique(const std::string& prefix, const std::string& suffix) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned long long seed =
        GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            name += letters[(seed >> 33) % (sizeof letters - 1)];
        }
        name += suffix;
        HANDLE handle = CreateFileW(wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            return {name, handle};
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    return {std::string(), INVALID_HANDLE_VALUE};
}

}  // namespace

FilePtr open_existing_file(const char* path, bool for_update) {
    // Opening a folder fails without FILE_FLAG_BACKUP_SEMANTICS; a device or
    // pipe opens and is refused by its type.
    HANDLE handle = CreateFileW(wide(path).c_str(), GENERIC_READ | (for_update ? GENERIC_WRITE : 0),
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    return FilePtr(stream_of(handle, for_update, for_update ? "r+b" : "rb"));
}

bool path_taken(const char* path) {
    if (GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

long file_size(std::FILE* file) {
    std::fflush(file);  // count what the stream still buffers
    long long size = _filelengthi64(_fileno(file));
    if (size < 0) {
        set_stream_error(file);
        return -1;
    }
    return static_cast<long>(size);
}

// The Microsoft C library keeps the indicator among the stream's flags.
void set_stream_error(std::FILE* stream) {
    stream->_flag |= _IOERR;
}

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {}

OutputFile::~OutputFile() {
    if (file_) {
        file_.reset();
        DeleteFileW(wide(temporary_).c_str());
    }
}

bool OutputFile::open() {
    // No name, or a name taken by a folder, is nothing a file can be moved
    // over.
    DWORD attributes = GetFileAttributesW(wide(target_).c_str());
    if (target_.empty() ||
        (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
        return false;
    }
    // Windows paths separate their parts with '\' or '/', and "C:name" is a
    // name in the current folder of drive C.
    std::size_t separator = target_.find_last_of("/\\:");
    std::string folder =
        separator == std::string::npos ? std::string() : target_.substr(0, separator + 1);
    auto [name, handle] = create_unique(folder + ".varkit-", "");
    if (name.empty()) {
        return false;
    }
    std::FILE* file = stream_of(handle, true, "w+b");
    if (file == nullptr) {
        DeleteFileW(wide(name).c_str());
        return false;
    }
    temporary_ = name;
    file_.reset(file);
    return true;
}

bool OutputFile::commit() {
    if (!file_) {
        return false;
    }
    std::FILE* file = file_.release();
    bool written = std::fflush(file) == 0 && !std::ferror(file);
    written = (std::fclose(file) == 0) && written;
    if (!written ||
        !MoveFileExW(wide(temporary_).c_str(), wide(target_).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(wide(temporary_).c_str());
        return false;
    }
    return true;
}

OutputFile::NewFile OutputFile::commit_new() {
    if (!file_) {
        return NewFile::Failed;
    }
    std::FILE* file = file_.release();
    bool written = std::fflush(file) == 0 && !std::ferror(file);
    written = (std::fclose(file) == 0) && written;
    if (written && MoveFileExW(wide(temporary_).c_str(), wide(target_).c_str(), 0)) {
        return NewFile::Written;
    }
    const DWORD error = GetLastError();
    DeleteFileW(wide(temporary_).c_str());
    if (written && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) {
        return NewFile::Taken;
    }
    return NewFile::Failed;
}

ScratchFile::ScratchFile(const char* suffix) {
    char folder[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH) {
        return;
    }
    auto [name, handle] = create_unique(std::string(folder, length) + "varkit-", suffix);
    if (!name.empty()) {
        CloseHandle(handle);
        path_ = name;
    }
}

ScratchFile::~ScratchFile() {
    if (!path_.empty()) {
        DeleteFileW(wide(path_).c_str());
    }
}

}  // namespace varkit
