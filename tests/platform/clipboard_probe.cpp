// A stand-alone clipboard client for the platform tests: each command opens
// the clipboard of make_platform(), does one step, closes it and exits, so a
// test can check what stays on the clipboard after the process that set it
// has ended, and run several writers at once.
//
//   clipboard_probe put-text FILE      empty, then set the file's bytes as text
//   clipboard_probe add-rich FILE      set the file's bytes as rich text, no empty
//   clipboard_probe put-bitmap FILE    empty, then set a bitmap: FILE holds
//                                      width and height as two bytes each
//                                      (little-endian) and the device bits
//   clipboard_probe get-text FILE      write the text to FILE
//   clipboard_probe get-dib FILE       write the packed DIB to FILE
//   clipboard_probe round-trips N      N times put-text then get-text of a
//                                      short text; prints the time per pair
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"

namespace {

using varkit::Platform;

std::string read_all(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_all(const char* path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

varkit::DeviceBitmap bitmap_from(const std::string& file) {
    varkit::DeviceBitmap bitmap;
    if (file.size() < 4) {
        return bitmap;
    }
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(file[i]); };
    bitmap.width = byte(0) | (byte(1) << 8);
    bitmap.height = byte(2) | (byte(3) << 8);
    bitmap.row_length = ((bitmap.width + 15) / 16) * 2;
    bitmap.bits.assign(file.begin() + 4, file.end());
    return bitmap;
}

// Opens, runs `step`, closes; the step's result is the command's.
template <class Step>
bool with_clipboard(Platform& platform, Step step) {
    if (!platform.clipboard_open()) {
        std::fprintf(stderr, "Error: Unable to open clipboard.\n");
        return false;
    }
    bool done = step();
    platform.clipboard_close();
    return done;
}

bool put_text(Platform& platform, const std::string& text) {
    return with_clipboard(
        platform, [&] { return platform.clipboard_empty() && platform.clipboard_set_text(text); });
}

bool get_text(Platform& platform, std::string& text) {
    return with_clipboard(platform, [&] {
        auto got = platform.clipboard_get_text().text;
        text = got.value_or("");
        return got.has_value();
    });
}

int round_trips(Platform& platform, int count) {
    const std::string text = "round trip\r\n";
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        std::string back;
        if (!put_text(platform, text) || !get_text(platform, back) || back != text) {
            std::fprintf(stderr, "Error: round trip %d failed\n", i);
            return 1;
        }
    }
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%d set+get round trips, %.2f ms each\n", count, took.count() / count);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: clipboard_probe COMMAND ARGUMENT\n");
        return 2;
    }
    auto platform = varkit::make_platform();
    const std::string command = argv[1];
    const char* path = argv[2];
    bool done = false;
    if (command == "put-text") {
        done = put_text(*platform, read_all(path));
    } else if (command == "add-rich") {
        done = with_clipboard(*platform,
                              [&] { return platform->clipboard_set_rich_text(read_all(path)); });
    } else if (command == "put-bitmap") {
        done = with_clipboard(*platform, [&] {
            return platform->clipboard_empty() &&
                   platform->clipboard_set_bitmap(bitmap_from(read_all(path)));
        });
    } else if (command == "get-text") {
        std::string text;
        done = get_text(*platform, text) && write_all(path, text.data(), text.size());
    } else if (command == "get-dib") {
        done = with_clipboard(*platform, [&] {
            auto dib = platform->clipboard_get_dib();
            return dib && write_all(path, dib->data(), dib->size());
        });
    } else if (command == "round-trips") {
        return round_trips(*platform, std::atoi(path));
    } else {
        std::fprintf(stderr, "Error: unknown command %s\n", argv[1]);
        return 2;
    }
    return done ? 0 : 1;
}
