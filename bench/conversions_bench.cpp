// In-process throughput of the conversions themselves, on the inputs that
// bench/make_inputs.py writes: text export and import, picture rows to bitmap
// bits and back, the DIB synthesis and the RTF writer. Each benchmark counts
// the bytes of its input, so Google Benchmark reports MB/s.
//
//   conversions_bench <inputs folder> [--benchmark_... flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "picture_import/picture_reduction.h"
#include "platform/dib.h"
#include "platform/none/none_platform.h"
#include "rich_export/rtf_writer.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

std::string inputs_folder;

std::vector<std::uint8_t> read_input(const char* name) {
    std::string path = inputs_folder + "/" + name;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        throw std::runtime_error("cannot open " + path);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file_size(file.get())));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        throw std::runtime_error("cannot read " + path);
    }
    return bytes;
}

// A read-only stream over bytes held in memory.
FilePtr memory_stream(std::vector<std::uint8_t>& bytes) {
    return FilePtr(fmemopen(bytes.data(), bytes.size(), "rb"));
}

// Where documents go: written and thrown away, as a file would be.
FilePtr null_output() {
    return FilePtr(std::fopen("/dev/null", "wb"));
}

// A clipboard held in memory, so the pictures of a lab report travel through
// it without the file system or a display.
class MemoryPlatform : public NonePlatform {
  public:
    bool clipboard_open() override { return true; }
    bool clipboard_empty() override {
        dib_.reset();
        return true;
    }
    bool clipboard_set_bitmap(const DeviceBitmap& bitmap) override {
        dib_ = synthesize_dib(bitmap);
        return true;
    }
    std::optional<std::vector<std::uint8_t>> clipboard_get_dib() override { return dib_; }
    std::optional<DeviceBitmap> create_bitmap(const DeviceBitmap& description) override {
        return is_valid_monochrome(description) ? std::optional(description) : std::nullopt;
    }

  private:
    std::optional<std::vector<std::uint8_t>> dib_;
};

std::string variable_text(const char* name, TextLayout layout) {
    std::vector<std::uint8_t> file = read_input(name);
    FilePtr stream = memory_stream(file);
    return read_variable_text(layout, stream.get());
}

void text_read(benchmark::State& state) {
    std::vector<std::uint8_t> file = read_input("notes.9xt");
    for (auto _ : state) {
        FilePtr stream = memory_stream(file);
        benchmark::DoNotOptimize(read_variable_text(TextLayout::Text, stream.get()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(text_read);

void text_export(benchmark::State& state) {
    std::string text = variable_text("notes.9xt", TextLayout::Text);
    for (auto _ : state) {
        benchmark::DoNotOptimize(plain_text_from_variable(TextLayout::Text, text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(text_export);

void text_import(benchmark::State& state) {
    std::vector<std::uint8_t> bytes = read_input("notes.txt");
    std::string plain(bytes.begin(), bytes.end());
    for (auto _ : state) {
        benchmark::DoNotOptimize(variable_text_from_plain(TextLayout::Text, plain));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plain.size()));
}
BENCHMARK(text_import);

// The 239 x 103 picture's rows, as Pixelcast reads them.
std::vector<std::uint8_t> screen_rows(Dimensions& size) {
    std::vector<std::uint8_t> file = read_input("screen.9xi");
    FilePtr stream = memory_stream(file);
    std::vector<std::uint8_t> rows;
    if (vf_read_dimensions(&size, stream.get()) != 1 ||
        vf_read_picture_rows(kPictureRowsOffset, size, rows, stream.get()) != 1) {
        throw std::runtime_error("screen.9xi holds no picture");
    }
    return rows;
}

void picture_to_bitmap_bits(benchmark::State& state) {
    Dimensions size;
    std::vector<std::uint8_t> rows = screen_rows(size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vf_picture_bitmap_bits(size, rows));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rows.size()));
}
BENCHMARK(picture_to_bitmap_bits);

// Back: the rows of a BMP file read as picture rows, headers checked.
void bitmap_to_picture_rows(benchmark::State& state) {
    std::vector<std::uint8_t> file = read_input("screen.bmp");
    for (auto _ : state) {
        std::optional<ImagePicture> picture = picture_of_image_file(file);
        if (!picture) {
            state.SkipWithError("screen.bmp is no monochrome bitmap");
            break;
        }
        benchmark::DoNotOptimize(picture);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(bitmap_to_picture_rows);

void dib_synthesis(benchmark::State& state) {
    Dimensions size;
    std::vector<std::uint8_t> rows = screen_rows(size);
    DeviceBitmap bitmap = device_bitmap_of(vf_picture_bitmap_bits(size, rows));
    for (auto _ : state) {
        benchmark::DoNotOptimize(synthesize_dib(bitmap));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bitmap.bits.size()));
}
BENCHMARK(dib_synthesis);

// The whole document of a variable file, written to /dev/null.
void write_document(benchmark::State& state, const char* name, Platform& platform) {
    std::vector<std::uint8_t> file = read_input(name);
    FilePtr out = null_output();
    FilePtr messages = null_output();
    Runtime rt{out.get(), messages.get(), platform};
    for (auto _ : state) {
        FilePtr in = memory_stream(file);
        RtfWriter writer(RtfSettings{}, rt);
        if (writer.rtf_convert(vf_calculator_code(in.get()), in.get(), out.get()) != 1 ||
            writer.failure_reported()) {
            state.SkipWithError("the document was not written whole");
            break;
        }
        std::fflush(out.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

void rtf_text(benchmark::State& state) {
    NonePlatform platform;
    write_document(state, "notes.9xt", platform);
}
BENCHMARK(rtf_text);

// The lab report: its strings, and its pictures through the clipboard and a
// temporary BMP file into hexadecimal picture data.
void rtf_lab_report(benchmark::State& state) {
    MemoryPlatform platform;
    write_document(state, "report.9xr", platform);
}
BENCHMARK(rtf_lab_report);

}  // namespace
}  // namespace varkit

int main(int argc, char** argv) {
    if (argc < 2 || std::strncmp(argv[1], "--", 2) == 0) {
        std::fputs("usage: conversions_bench <inputs folder> [--benchmark_... flags]\n", stderr);
        return 2;
    }
    varkit::inputs_folder = argv[1];
    argv[1] = argv[0];
    --argc;
    ++argv;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
