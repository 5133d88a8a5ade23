// Opening the files the programs read and update. Streams are owned by a
// unique_ptr that closes them, so no path leaks one.
#pragma once

#include <cstdio>
#include <memory>

namespace varkit {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing regular file in binary mode, for reading or for reading
// and updating; never creates one. A directory, device or pipe is refused
// rather than opened, and opening never waits on a pipe without a writer.
FilePtr open_existing_file(const char* path, bool for_update);

// The size of an open file in bytes, or -1 when it cannot be told.
long file_size(std::FILE* file);

}  // namespace varkit
