// The file layer's steps on POSIX systems.
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>

#include "varfile/file_io.h"
#include "varfile/system_files.h"

namespace varkit {

FilePtr open_existing_file(const char* path, bool for_update) {
    int fd = ::open(path, (for_update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, for_update ? "r+b" : "rb");
    if (file == nullptr) {
        ::close(fd);
    }
    return FilePtr(file);
}

bool path_taken(const char* path) {
    struct stat info;
    return ::stat(path, &info) == 0 || errno != ENOENT;
}

long file_size(std::FILE* file) {
    std::fflush(file);  // count what the stream still buffers
    struct stat info;
    if (::fstat(::fileno(file), &info) != 0) {
        set_stream_error(file);
        return -1;
    }
    return static_cast<long>(info.st_size);
}

// The GNU C library keeps the indicator among the stream's flags.
void set_stream_error(std::FILE* stream) {
    stream->_flags |= _IO_ERR_SEEN;
}

}  // namespace varkit

namespace varkit::system_files {
namespace {

// The path a chain of symbolic links leads to, also when its end does not
// exist yet; a path that is no link is its own end.
std::string end_of_links(std::string path) {
    constexpr int kMostLinks = 40;
    for (int hops = 0; hops < kMostLinks; ++hops) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        char link[PATH_MAX];
        ssize_t length = ::readlink(path.c_str(), link, sizeof link - 1);
        if (length <= 0) {
            return path;
        }
        std::string next(link, static_cast<std::size_t>(length));
        path = next[0] == '/' ? next : folder_of(path) + next;
    }
    return path;
}

FilePtr stream_of(int fd, const char* mode) {
    std::FILE* file = ::fdopen(fd, mode);
    if (file == nullptr) {
        ::close(fd);
    }
    return FilePtr(file);
}

// The signals that end a run after its files are removed.
constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Only the process that made a file removes it, so a child forked meanwhile
// (a clipboard server) never takes a parent's file.
pid_t g_files_owner = 0;

extern "C" void remove_files_and_die(int signal_number) {
    if (::getpid() == g_files_owner) {
        remove_remembered_files();
    }
    // Die by the same signal, so the caller sees what ended the run.
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

sigset_t g_held_before;
int g_holds = 0;

}  // namespace

PathKind path_kind(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? PathKind::Missing : PathKind::Unknown;
    }
    if (S_ISREG(info.st_mode)) {
        return PathKind::Regular;
    }
    return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::Other;
}

// A magic link such as /dev/stdout to a file resolves through realpath, an
// ordinary chain of links the same way; a link whose end is missing is
// followed by hand.
std::string replaced_file(const std::string& path) {
    struct stat link;
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return errno == ENOENT ? end_of_links(path) : std::string();
}

std::string folder_of(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string scratch_folder() {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/";
}

std::optional<CreatedFile> create_unique_file(const std::string& prefix,
                                              const std::string& suffix) {
    std::string path = prefix + "XXXXXX" + suffix;
    int fd = ::mkostemps(path.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    FilePtr stream = stream_of(fd, "w+b");
    if (!stream) {
        ::unlink(path.c_str());
        return std::nullopt;
    }
    return CreatedFile{std::move(path), std::move(stream)};
}

FilePtr create_unnamed_file() {
    std::string path = scratch_folder() + "varkit-XXXXXX";
    int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    ::unlink(path.c_str());
    return stream_of(fd, "w+b");
}

// Files made through mkstemp are 0600. The replaced file's owner and group
// are given where the process may (a user may still give a group of theirs),
// then its mode; the owner comes first because changing it clears
// set-user-ID bits.
void take_attributes(std::FILE* file, const std::string& replaced) {
    const int fd = ::fileno(file);
    struct stat old;
    if (::stat(replaced.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        return;
    }
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] int ignored = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    ::fchmod(fd, old.st_mode & 07777);
}

bool sync_to_disk(std::FILE* file) {
    return ::fsync(::fileno(file)) == 0;
}

bool replace_file(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// Renaming without replacing is one step where the file system offers it;
// elsewhere a second link is made and the first name dropped.
Move move_to_new_name(const std::string& from, const std::string& to) {
    int moved = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        moved = ::link(from.c_str(), to.c_str());
        if (moved == 0) {
            ::unlink(from.c_str());
        }
    }
    if (moved == 0) {
        return Move::Moved;
    }
    return errno == EEXIST ? Move::Taken : Move::Failed;
}

FilePtr open_for_writing(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    return fd < 0 ? nullptr : stream_of(fd, "wb");
}

void remove_file(const char* path) {
    ::unlink(path);
}

// A signal the caller ignores (nohup) stays ignored.
void clean_up_on_interruption() {
    if (g_files_owner == ::getpid()) {
        return;
    }
    g_files_owner = ::getpid();
    for (int signal_number : kCleanedSignals) {
        struct sigaction old {};
        if (::sigaction(signal_number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = remove_files_and_die;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal_number, &action, nullptr);
    }
}

// The cleaned signals are blocked while held and delivered on release.
void hold_interruptions() {
    if (g_holds++ > 0) {
        return;
    }
    sigset_t held;
    sigemptyset(&held);
    for (int signal_number : kCleanedSignals) {
        sigaddset(&held, signal_number);
    }
    ::pthread_sigmask(SIG_BLOCK, &held, &g_held_before);
}

bool interruption_pending() {
    sigset_t pending;
    if (::sigpending(&pending) != 0) {
        return false;
    }
    for (int signal_number : kCleanedSignals) {
        if (sigismember(&pending, signal_number) == 1) {
            return true;
        }
    }
    return false;
}

void release_interruptions() {
    if (--g_holds == 0) {
        ::pthread_sigmask(SIG_SETMASK, &g_held_before, nullptr);
    }
}

}  // namespace varkit::system_files
