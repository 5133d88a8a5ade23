#include "varfile/file_io.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "varfile/container.h"

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

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace varkit {
namespace {

// ---- Temporary files removed when a signal ends the run -------------------
//
// The handler may only touch what is async-signal-safe: fixed slots holding
// the paths, and unlink. Only the process that made a file removes it, so a
// child forked meanwhile (a clipboard server) never takes a parent's file.

constexpr int kTemporarySlots = 8;

struct TemporarySlot {
    volatile std::sig_atomic_t used = 0;
    char path[PATH_MAX] = {};
};

TemporarySlot g_temporaries[kTemporarySlots];
pid_t g_temporaries_owner = 0;

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_temporaries_and_die(int signal_number) {
    if (::getpid() == g_temporaries_owner) {
        for (TemporarySlot& slot : g_temporaries) {
            if (slot.used) {
                ::unlink(slot.path);
            }
        }
    }
    // Die by the same signal, so the caller sees what ended the run.
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

// A signal the caller ignores (nohup) stays ignored.
void install_cleanup_handlers() {
    if (g_temporaries_owner == ::getpid()) {
        return;
    }
    g_temporaries_owner = ::getpid();
    for (int signal_number : kCleanedSignals) {
        struct sigaction old {};
        if (::sigaction(signal_number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = remove_temporaries_and_die;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal_number, &action, nullptr);
    }
}

// Holds back the cleaned signals while a temporary file is made and
// remembered, so none can end the run in between.
class CleanedSignalsHeld {
  public:
    CleanedSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal_number : kCleanedSignals) {
            sigaddset(&held, signal_number);
        }
        ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~CleanedSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    CleanedSignalsHeld(const CleanedSignalsHeld&) = delete;
    CleanedSignalsHeld& operator=(const CleanedSignalsHeld&) = delete;

  private:
    sigset_t previous_;
};

// The slot that holds `path` until forget_temporary, or -1 when none is free
// (the file is then only removed by its owner object).
int remember_temporary(const std::string& path) {
    if (path.size() >= PATH_MAX) {
        return -1;
    }
    install_cleanup_handlers();
    for (int i = 0; i < kTemporarySlots; ++i) {
        TemporarySlot& slot = g_temporaries[i];
        if (!slot.used) {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.used = 1;
            return i;
        }
    }
    return -1;
}

void forget_temporary(int& slot) {
    if (slot >= 0) {
        g_temporaries[slot].used = 0;
        slot = -1;
    }
}

// ---- Where an output goes --------------------------------------------------

std::string folder_of(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

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

// Files made through mkstemp are 0600; give them the mode a plain fopen would.
void set_default_mode(int fd) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
}

// The replaced file's owner and group where the process may give them (a
// user may still give a group of theirs), then its mode; the owner comes
// first because changing it clears set-user-ID bits.
void take_over_attributes(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] int ignored = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    ::fchmod(fd, old.st_mode & 07777);
}

std::string scratch_folder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

bool write_all(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies the whole of `from`, from its start, to the descriptor.
bool copy_stream(std::FILE* from, int fd) {
    if (vf_seek(0, from) != 0) {
        return false;
    }
    char block[65536];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, from)) > 0) {
        if (!write_all(fd, block, got)) {
            return false;
        }
    }
    return !std::ferror(from);
}

// Flushes what the stream buffers and tells whether every write so far
// reached the file.
bool flushed_whole(std::FILE* file) {
    return std::fflush(file) == 0 && !std::ferror(file);
}

}  // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {}

OutputFile::~OutputFile() {
    if (file_) {
        file_.reset();
        remove_temporary();
    }
}

void OutputFile::remove_temporary() {
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
    forget_temporary(temporary_slot_);
}

bool OutputFile::open() {
    if (target_.empty()) {
        return false;
    }
    struct stat existing;
    if (::stat(target_.c_str(), &existing) != 0) {
        // Not there yet (perhaps at the end of a dangling link), or out of
        // reach: a lookup that fails otherwise is no place to create a file.
        return errno == ENOENT && open_beside(end_of_links(target_));
    }
    if (S_ISDIR(existing.st_mode)) {
        return false;
    }
    if (!S_ISREG(existing.st_mode)) {
        return open_direct();
    }
    // A magic link such as /dev/stdout to a file resolves through realpath;
    // an ordinary chain of links the same way.
    char resolved[PATH_MAX];
    std::string destination = target_;
    if (struct stat link; ::lstat(target_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (::realpath(target_.c_str(), resolved) == nullptr) {
            return false;
        }
        destination = resolved;
    }
    return open_beside(destination);
}

bool OutputFile::open_beside(const std::string& destination) {
    std::string pattern = folder_of(destination) + ".varkit-XXXXXX";
    CleanedSignalsHeld held;
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    temporary_ = pattern;
    temporary_slot_ = remember_temporary(temporary_);
    struct stat old;
    if (::stat(destination.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        take_over_attributes(fd, old);
    } else {
        set_default_mode(fd);
    }
    std::FILE* file = ::fdopen(fd, "w+b");
    if (file == nullptr) {
        ::close(fd);
        remove_temporary();
        return false;
    }
    destination_ = destination;
    file_.reset(file);
    return true;
}

// The bytes wait in a scratch file that has no name from the start, so
// nothing is left behind whatever ends the run.
bool OutputFile::open_direct() {
    std::string pattern = scratch_folder() + "/varkit-XXXXXX";
    CleanedSignalsHeld held;
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::unlink(pattern.c_str());
    std::FILE* file = ::fdopen(fd, "w+b");
    if (file == nullptr) {
        ::close(fd);
        return false;
    }
    direct_ = true;
    destination_ = target_;
    file_.reset(file);
    return true;
}

bool OutputFile::commit() {
    if (!file_) {
        return false;
    }
    std::FILE* file = file_.release();
    if (direct_) {
        return commit_direct(file);
    }
    bool written = flushed_whole(file) && ::fsync(::fileno(file)) == 0;
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary_.c_str(), destination_.c_str()) != 0) {
        remove_temporary();
        return false;
    }
    forget_temporary(temporary_slot_);
    return true;
}

OutputFile::NewFile OutputFile::commit_new() {
    // A target that is a link, or no regular file, is a name already taken.
    if (file_ && (direct_ || destination_ != target_)) {
        file_.reset();
        remove_temporary();
        return NewFile::Taken;
    }
    if (!file_) {
        return NewFile::Failed;
    }
    std::FILE* file = file_.release();
    bool written = flushed_whole(file) && ::fsync(::fileno(file)) == 0;
    if (std::fclose(file) != 0 || !written) {
        remove_temporary();
        return NewFile::Failed;
    }
    // Renaming without replacing is one step where the file system offers
    // it; elsewhere a second link is made and the temporary name dropped.
    int moved =
        ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, destination_.c_str(), RENAME_NOREPLACE);
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        moved = ::link(temporary_.c_str(), destination_.c_str());
    }
    const bool taken = moved != 0 && errno == EEXIST;
    remove_temporary();
    if (moved == 0) {
        return NewFile::Written;
    }
    return taken ? NewFile::Taken : NewFile::Failed;
}

bool OutputFile::commit_direct(std::FILE* file) {
    FilePtr scratch(file);
    if (!flushed_whole(file)) {
        return false;
    }
    int fd = ::open(destination_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool written = copy_stream(file, fd);
    return ::close(fd) == 0 && written;
}

ScratchFile::ScratchFile(const char* suffix) {
    std::string pattern = scratch_folder() + "/varkit-XXXXXX" + suffix;
    CleanedSignalsHeld held;
    int fd = ::mkostemps(pattern.data(), static_cast<int>(std::strlen(suffix)), O_CLOEXEC);
    if (fd >= 0) {
        slot_ = remember_temporary(pattern);
        path_ = pattern;
        if (::close(fd) != 0) {
            ::unlink(path_.c_str());
            forget_temporary(slot_);
            path_.clear();
        }
    }
}

ScratchFile::~ScratchFile() {
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        forget_temporary(slot_);
    }
}

}  // namespace varkit
