#include "platform/selection_clipboard.h"

#include "platform/serving_child.h"

namespace varkit {

SelectionClipboard::SelectionClipboard(std::string lock_folder)
    : lock_folder_(std::move(lock_folder)) {}

bool SelectionClipboard::open() {
    if (!lock_folder_.lock()) {
        return false;
    }
    if (!connect()) {
        lock_folder_.unlock();
        return false;
    }
    return true;
}

void SelectionClipboard::close() {
    if (empty_pending_) {
        clear_selection();
    }
    empty_pending_ = false;
    known_.reset();
    disconnect();
    lock_folder_.unlock();
}

bool SelectionClipboard::empty() {
    known_ = ClipboardContents{};
    empty_pending_ = true;
    return true;
}

bool SelectionClipboard::set_text(std::string_view text) {
    return add([&](ClipboardContents& contents) { contents.text = std::string(text); });
}

bool SelectionClipboard::set_dib(const std::vector<std::uint8_t>& dib) {
    return add([&](ClipboardContents& contents) { contents.dib = dib; });
}

bool SelectionClipboard::set_rich_text(std::string_view rtf) {
    return add([&](ClipboardContents& contents) { contents.rich_text = std::string(rtf); });
}

bool SelectionClipboard::add(const std::function<void(ClipboardContents&)>& change) {
    ClipboardContents contents;
    if (known_) {
        contents = *known_;
    } else if (std::unique_ptr<SelectionSource> current = selection()) {
        contents = contents_of(*current);
    } else {
        return false;
    }
    change(contents);
    const std::vector<Offer> offers = offers_for(contents);
    auto child = start_serving_child(
        [&](const std::function<bool()>& taken) { take_and_serve(offers, taken); });
    if (!child) {
        return false;
    }
    serving_child_ = *child;
    known_ = std::move(contents);
    empty_pending_ = false;
    return true;
}

// Between an empty or set and the close, this program holds the lock and
// knows what the clipboard holds; otherwise the owner, whoever it is, tells.
ClipboardText SelectionClipboard::get_text() {
    if (known_) {
        return {known_->text ? std::optional(text_up_to_zero(*known_->text)) : std::nullopt, {}};
    }
    std::unique_ptr<SelectionSource> current = selection();
    return current ? text_from(*current) : ClipboardText{};
}

std::optional<std::vector<std::uint8_t>> SelectionClipboard::get_dib() {
    if (known_) {
        return known_->dib;
    }
    std::unique_ptr<SelectionSource> current = selection();
    return current ? dib_from(*current) : std::nullopt;
}

}  // namespace varkit
