// An in-memory platform for in-process program tests: a clipboard that can be
// told to fail at any step, dialogs that answer from a script, and a log of
// every call so a test can check the order of a program's steps.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/dib.h"
#include "platform/platform.h"

namespace varkit::testing {

class FakePlatform : public Platform {
  public:
    // What the clipboard holds.
    std::optional<std::string> text;
    std::optional<char32_t> lacking;  // no text: the Unicode text's character the calculator lacks
    std::optional<std::vector<std::uint8_t>> dib;  // a placed bitmap, in its CF_DIB form
    std::optional<std::string> rich_text;

    // Steps made to fail.
    bool fail_open = false;
    bool fail_empty = false;
    bool fail_set = false;
    bool fail_create_bitmap = false;

    // Dialog answers, taken in order; an empty queue cancels.
    std::deque<std::optional<std::string>> open_answers;
    std::deque<std::optional<std::string>> save_answers;
    std::deque<std::optional<std::string>> font_answers;

    std::vector<std::string> calls;         // "open", "empty", "set_text", ...
    std::vector<FileDialog> dialogs_shown;  // open and save dialogs, in order
    std::vector<std::string> opened_documents;
    bool is_open = false;

    bool clipboard_open() override {
        calls.push_back("open");
        if (fail_open || is_open) {
            return false;
        }
        is_open = true;
        return true;
    }
    bool clipboard_empty() override {
        calls.push_back("empty");
        if (fail_empty || !is_open) {
            return false;
        }
        text.reset();
        dib.reset();
        rich_text.reset();
        return true;
    }
    bool clipboard_set_text(std::string_view value) override {
        calls.push_back("set_text");
        if (fail_set || !is_open) {
            return false;
        }
        text = std::string(value);
        return true;
    }
    bool clipboard_set_bitmap(const DeviceBitmap& bitmap) override {
        calls.push_back("set_bitmap");
        if (fail_set || !is_open) {
            return false;
        }
        dib = synthesize_dib(bitmap);
        return true;
    }
    bool clipboard_set_rich_text(std::string_view rtf) override {
        calls.push_back("set_rich_text");
        if (fail_set || !is_open) {
            return false;
        }
        rich_text = std::string(rtf);
        return true;
    }
    ClipboardText clipboard_get_text() override {
        calls.push_back("get_text");
        return is_open ? ClipboardText{text, lacking} : ClipboardText{};
    }
    std::optional<std::vector<std::uint8_t>> clipboard_get_dib() override {
        calls.push_back("get_dib");
        return is_open ? dib : std::nullopt;
    }
    void clipboard_close() override {
        calls.push_back("close");
        is_open = false;
    }
    std::optional<DeviceBitmap> create_bitmap(const DeviceBitmap& description) override {
        calls.push_back("create_bitmap");
        if (fail_create_bitmap || !is_valid_monochrome(description)) {
            return std::nullopt;
        }
        return description;
    }
    std::optional<std::string> open_file_dialog(const FileDialog& dialog) override {
        calls.push_back("open_dialog");
        dialogs_shown.push_back(dialog);
        return take(open_answers);
    }
    std::optional<std::string> save_file_dialog(const FileDialog& dialog) override {
        calls.push_back("save_dialog");
        dialogs_shown.push_back(dialog);
        return take(save_answers);
    }
    std::optional<std::string> font_dialog() override {
        calls.push_back("font_dialog");
        return take(font_answers);
    }
    void play_default_sound() override { calls.push_back("sound"); }
    void open_document(const std::string& path) override {
        calls.push_back("open_document");
        opened_documents.push_back(path);
    }

  private:
    static std::optional<std::string> take(std::deque<std::optional<std::string>>& answers) {
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace varkit::testing
