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
