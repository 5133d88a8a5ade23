// The clipboard folder's steps on POSIX systems: every step works relative to
// the folder's open descriptor and follows no link.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/files/private_folder.h"

namespace varkit {
namespace {

std::string env_or_empty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

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

std::uint64_t random_bits() {
    std::uint64_t random = 0;
    if (getrandom(&random, sizeof random, 0) != sizeof random) {
        random = static_cast<std::uint64_t>(
                     std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 static_cast<std::uint64_t>(getpid());
    }
    return random;
}

std::optional<PrivateFolder> PrivateFolder::open(std::string path) {
    path = without_trailing_slashes(std::move(path));
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    UniqueFd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid() || !is_private_folder(folder.get())) {
        return std::nullopt;
    }
    return PrivateFolder(std::move(path), std::move(folder));
}

PrivateFolder::Lock PrivateFolder::try_lock(const char* name, UniqueFd& lock) const {
    UniqueFd file(openat(folder_.get(), name, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.valid()) {
        return Lock::Failed;
    }
    if (flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK || errno == EINTR ? Lock::Busy : Lock::Failed;
    }
    lock = std::move(file);
    return Lock::Taken;
}

std::vector<std::string> PrivateFolder::names_beginning(std::string_view prefix) const {
    std::vector<std::string> names;
    int listing_fd = fcntl(folder_.get(), F_DUPFD_CLOEXEC, 0);
    if (listing_fd < 0) {
        return names;
    }
    DIR* listing = fdopendir(listing_fd);
    if (listing == nullptr) {
        ::close(listing_fd);
        return names;
    }
    while (const dirent* entry = readdir(listing)) {
        if (std::string_view(entry->d_name).starts_with(prefix)) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(listing);
    return names;
}

std::string PrivateFolder::path_of(const std::string& name) const {
    return path_ + "/" + name;
}

UniqueFd PrivateFolder::create_new(const std::string& name) const {
    return UniqueFd(openat(folder_.get(), name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
}

bool PrivateFolder::rename_over(const std::string& from, const std::string& to) const {
    return renameat(folder_.get(), from.c_str(), folder_.get(), to.c_str()) == 0;
}

bool PrivateFolder::remove(const std::string& name) const {
    return unlinkat(folder_.get(), name.c_str(), 0) == 0 || errno == ENOENT;
}

// Opening a FIFO without O_NONBLOCK would wait for a writer.
UniqueFd PrivateFolder::open_regular(const std::string& name, std::int64_t& size) const {
    UniqueFd file(
        openat(folder_.get(), name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!file.valid() || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return UniqueFd();
    }
    size = info.st_size;
    return file;
}

}  // namespace varkit
