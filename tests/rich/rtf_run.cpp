#include "tests/rich/rtf_run.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/fake_platform.h"
#include "varfile/varfile.h"

namespace varkit::testing {
namespace {

// A stream whose bytes land in a string once it is closed.
class MemoryStream {
  public:
    MemoryStream() : file_(open_memstream(&buffer_, &size_)) {}
    ~MemoryStream() {
        close();
        std::free(buffer_);
    }
    std::FILE* get() const { return file_; }
    std::string text() {
        close();
        return std::string(buffer_, size_);
    }

  private:
    void close() {
        if (file_ != nullptr) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

}  // namespace

Converted convert(const Bytes& file, const RtfSettings& settings, Platform* platform) {
    // An anonymous file, so that tests may point the temporary folder
    // anywhere, even nowhere.
    FilePtr in(fdopen(memfd_create("input", MFD_CLOEXEC), "w+b"));
    if (!file.empty()) {
        std::fwrite(file.data(), 1, file.size(), in.get());
    }
    std::rewind(in.get());
    FakePlatform fake;
    MemoryStream out;
    MemoryStream err;
    Runtime rt{stdout, err.get(), platform != nullptr ? *platform : fake};
    RtfWriter writer(settings, rt);
    Converted converted;
    converted.result = writer.rtf_convert(vf_calculator_code(in.get()), in.get(), out.get());
    converted.run_ended = writer.run_ended();
    converted.rtf = out.text();
    converted.err = err.text();
    return converted;
}

}  // namespace varkit::testing
