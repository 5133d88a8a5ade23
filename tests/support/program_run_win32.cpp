// In-process runs on Windows, whose C library has no memory streams: the
// program writes to anonymous temporary files that are read back.
#include <cstdio>
#include <stdexcept>

#include "tests/support/program_run.h"

namespace varkit::testing {
namespace {

std::string contents_of(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
}

}  // namespace

ProgramResult run_in_process(ProgramMain program, const std::vector<std::string>& args,
                             Platform& platform) {
    std::vector<std::string> storage{"prog"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);

    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) {
        throw std::runtime_error("tmpfile failed");
    }
    Runtime rt{out, err, platform};
    ProgramResult result;
    result.status = program(static_cast<int>(storage.size()), argv.data(), rt);
    result.out = contents_of(out);
    result.err = contents_of(err);
    return result;
}

}  // namespace varkit::testing
