#include "varfile/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

long file_size(std::FILE* file) {
    std::fflush(file);  // count what the stream still buffers
    struct stat info;
    if (::fstat(::fileno(file), &info) != 0) {
        return -1;
    }
    return static_cast<long>(info.st_size);
}

}  // namespace varkit

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace varkit {
namespace {

// Files made through mkstemp are 0600; give them the mode a plain fopen would.
void set_default_mode(int fd) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
}

}  // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {}

OutputFile::~OutputFile() {
    if (file_) {
        file_.reset();
        ::unlink(temporary_.c_str());
    }
}

bool OutputFile::open() {
    // No name, or a name taken by a folder, device or pipe, is nothing a file
    // can be renamed over.
    struct stat existing;
    if (target_.empty() ||
        (::stat(target_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))) {
        return false;
    }
    std::size_t slash = target_.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    std::string pattern = folder + ".varkit-XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    set_default_mode(fd);
    std::FILE* file = ::fdopen(fd, "w+b");
    if (file == nullptr) {
        ::close(fd);
        ::unlink(pattern.c_str());
        return false;
    }
    temporary_ = pattern;
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
    if (!written || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        ::unlink(temporary_.c_str());
        return false;
    }
    return true;
}

ScratchFile::ScratchFile(const char* suffix) {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern =
        std::string(folder && *folder ? folder : "/tmp") + "/varkit-XXXXXX" + suffix;
    int fd = ::mkostemps(pattern.data(), static_cast<int>(std::strlen(suffix)), O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        path_ = pattern;
    }
}

ScratchFile::~ScratchFile() {
    if (!path_.empty()) {
        ::unlink(path_.c_str());
    }
}

}  // namespace varkit
