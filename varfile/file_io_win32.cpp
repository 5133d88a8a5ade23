// The file layer's steps on Windows: paths are UTF-8 inside the programs and
// go to the wide Win32 calls; every stream is in binary mode.
#define _CRT_RAND_S  // rand_s, the system's random numbers
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "charset/wide_text.h"
#include "varfile/file_io.h"
#include "varfile/system_files.h"

namespace varkit {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A stream over an open handle; the handle is closed when that fails.
FilePtr stream_of(HANDLE handle, const char* mode) {
    const bool reads_only = mode[0] == 'r' && std::strchr(mode, '+') == nullptr;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                             _O_BINARY | (reads_only ? _O_RDONLY : _O_RDWR));
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, mode);
    if (file == nullptr) {
        _close(fd);
    }
    return FilePtr(file);
}

HANDLE handle_of(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

// A handle that reads nothing, only tells what is at the path, following
// links; a folder opens too.
HANDLE open_to_look(const std::string& path) {
    return CreateFileW(wide_from_utf8(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool is_missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

FilePtr open_existing_file(const char* path, bool for_update) {
    // Opening a folder fails without FILE_FLAG_BACKUP_SEMANTICS; a device or
    // pipe opens and is refused by its type.
    HANDLE handle =
        CreateFileW(wide_from_utf8(path).c_str(), GENERIC_READ | (for_update ? GENERIC_WRITE : 0),
                    kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    return stream_of(handle, for_update ? "r+b" : "rb");
}

bool path_taken(const char* path) {
    return GetFileAttributesW(wide_from_utf8(path).c_str()) != INVALID_FILE_ATTRIBUTES ||
           !is_missing(GetLastError());
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

}  // namespace varkit

namespace varkit::system_files {
namespace {

// Interruptions wait on this while the file layer holds them.
SRWLOCK g_hold = SRWLOCK_INIT;
// Set as soon as an interruption comes, before it waits.
std::atomic<bool> g_interrupted{false};

// Runs on a thread of its own when Ctrl-C or Ctrl-Break is pressed or the
// console closes. The run ends there, as an interrupted console program ends
// (STATUS_CONTROL_C_EXIT), without running the rest of its course.
BOOL WINAPI remove_files_and_end(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    g_interrupted = true;
    AcquireSRWLockExclusive(&g_hold);
    remove_remembered_files();
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

// A name no file had yet: `prefix`, twelve random letters, `suffix`, created
// with `flags`; the path and its handle.
std::optional<std::pair<std::string, HANDLE>> create_new(const std::string& prefix,
                                                         const std::string& suffix, DWORD flags) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix;
        for (int i = 0; i < 12; ++i) {
            unsigned random = 0;
            rand_s(&random);
            path += letters[random % (sizeof letters - 1)];
        }
        path += suffix;
        // Shared for deletion, so an interruption can remove it while open.
        HANDLE handle =
            CreateFileW(wide_from_utf8(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, flags, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            return std::pair{path, handle};
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    return std::nullopt;
}

}  // namespace

PathKind path_kind(const std::string& path) {
    HANDLE handle = open_to_look(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return is_missing(GetLastError()) ? PathKind::Missing : PathKind::Unknown;
    }
    PathKind kind = PathKind::Other;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) == FILE_TYPE_DISK) {
        kind = !GetFileInformationByHandle(handle, &info)                ? PathKind::Unknown
               : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder
                                                                         : PathKind::Regular;
    }
    CloseHandle(handle);
    return kind;
}

// An existing file is named by its final path, which symbolic links and
// junctions lead to. A link whose end is missing is no output: renaming
// over it would put a file in the link's place.
std::string replaced_file(const std::string& path) {
    HANDLE handle = open_to_look(path);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD attributes = GetFileAttributesW(wide_from_utf8(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
                   ? std::string()
                   : path;
    }
    std::wstring final_path(32768, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, final_path.data(),
                                             static_cast<DWORD>(final_path.size()), 0);
    CloseHandle(handle);
    if (length == 0 || length >= final_path.size()) {
        return std::string();
    }
    final_path.resize(length);
    return utf8_from_wide(final_path);
}

// Windows paths separate their parts with '\' or '/', and "C:name" is a name
// in the current folder of drive C.
std::string folder_of(const std::string& path) {
    std::size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string scratch_folder() {
    wchar_t folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return length == 0 || length > MAX_PATH ? std::string()
                                            : utf8_from_wide(std::wstring_view(folder, length));
}

std::optional<CreatedFile> create_unique_file(const std::string& prefix,
                                              const std::string& suffix) {
    auto created = create_new(prefix, suffix, FILE_ATTRIBUTE_NORMAL);
    if (!created) {
        return std::nullopt;
    }
    FilePtr stream = stream_of(created->second, "w+b");
    if (!stream) {
        DeleteFileW(wide_from_utf8(created->first).c_str());
        return std::nullopt;
    }
    return CreatedFile{std::move(created->first), std::move(stream)};
}

FilePtr create_unnamed_file() {
    auto created = create_new(scratch_folder() + "varkit-", "",
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
    return created ? stream_of(created->second, "w+b") : nullptr;
}

// The attributes go over in replace_file.
void take_attributes(std::FILE*, const std::string&) {}

bool sync_to_disk(std::FILE* file) {
    return FlushFileBuffers(handle_of(file));
}

// Windows refuses to replace a read-only file, and the new file would have
// the temporary one's attributes: the old file's are cleared for the move
// and given to the new one, or back to the old one when the move fails.
bool replace_file(const std::string& from, const std::string& to) {
    const std::wstring target = wide_from_utf8(to);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool known = attributes != INVALID_FILE_ATTRIBUTES;
    if (known && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!MoveFileExW(wide_from_utf8(from).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        if (known) {
            SetFileAttributesW(target.c_str(), attributes);
        }
        return false;
    }
    if (known) {
        SetFileAttributesW(target.c_str(), attributes);
    }
    return true;
}

Move move_to_new_name(const std::string& from, const std::string& to) {
    if (MoveFileExW(wide_from_utf8(from).c_str(), wide_from_utf8(to).c_str(), 0)) {
        return Move::Moved;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Move::Taken : Move::Failed;
}

FilePtr open_for_writing(const std::string& path) {
    HANDLE handle =
        CreateFileW(wide_from_utf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : stream_of(handle, "wb");
}

void remove_file(const char* path) {
    DeleteFileW(wide_from_utf8(path).c_str());
}

void clean_up_on_interruption() {
    static const bool installed = SetConsoleCtrlHandler(remove_files_and_end, TRUE);
    (void)installed;
}

void hold_interruptions() {
    AcquireSRWLockExclusive(&g_hold);
}

bool interruption_pending() {
    return g_interrupted;
}

void release_interruptions() {
    ReleaseSRWLockExclusive(&g_hold);
}

}  // namespace varkit::system_files
