#include "platform/x11/x11_clipboard.h"

#include <algorithm>

#include "platform/clipboard.h"
#include "platform/x11/selection_reader.h"
#include "platform/x11/serving_child.h"

namespace varkit::x11 {
namespace {

// One connection for the reads of one clipboard operation, closed before any
// serving process is forked.
class ClipboardReading {
  public:
    static std::optional<ClipboardReading> start() {
        auto link = XcbLink::connect();
        if (!link) {
            return std::nullopt;
        }
        auto reader = SelectionReader::start(*link);
        if (!reader) {
            return std::nullopt;
        }
        return ClipboardReading(std::move(link), *reader);
    }

    std::optional<std::string> text() {
        auto found = first_of(kTextTargets, [](const Converted&) { return true; });
        if (!found) {
            return std::nullopt;
        }
        return text_up_to_zero(text_from_selection(link_->atom_name(found->type), found->bytes));
    }

    std::optional<std::vector<std::uint8_t>> dib() {
        std::optional<std::vector<std::uint8_t>> dib;
        first_of(kBitmapTargets, [&](const Converted& converted) {
            dib = dib_from_selection(converted.bytes);
            return dib.has_value();
        });
        return dib;
    }

    std::optional<std::string> rich_text() {
        auto found = first_of(kRichTextTargets, [](const Converted&) { return true; });
        if (!found) {
            return std::nullopt;
        }
        return std::move(found->bytes);
    }

    ClipboardContents everything() {
        if (!reader_.has_owner()) {
            return {};
        }
        return {text(), dib(), rich_text()};
    }

  private:
    // Without a TARGETS answer only the two best of each list are tried, to
    // keep a silent owner from costing a wait per name.
    static constexpr std::size_t kProbedWithoutTargets = 2;

    ClipboardReading(std::unique_ptr<XcbLink> link, SelectionReader reader)
        : link_(std::move(link)), reader_(reader) {}

    template <class Accept>
    std::optional<Converted> first_of(const std::vector<std::string>& names, Accept accept) {
        if (!offered_) {
            offered_ = reader_.targets().value_or(std::vector<xcb_atom_t>{});
        }
        std::vector<xcb_atom_t> atoms = link_->atoms(names);
        std::size_t tried = 0;
        for (xcb_atom_t target : atoms) {
            bool listed = std::find(offered_->begin(), offered_->end(), target) != offered_->end();
            if (offered_->empty() ? tried++ >= kProbedWithoutTargets : !listed) {
                continue;
            }
            auto converted = reader_.convert(target);
            if (converted && accept(*converted)) {
                return converted;
            }
        }
        return std::nullopt;
    }

    std::unique_ptr<XcbLink> link_;
    SelectionReader reader_;
    std::optional<std::vector<xcb_atom_t>> offered_;
};

}  // namespace

bool display_available() {
    return XcbLink::connect() != nullptr;
}

X11Clipboard::X11Clipboard(std::string lock_folder) : lock_folder_(std::move(lock_folder)) {}

bool X11Clipboard::open() {
    if (!lock_folder_.lock()) {
        return false;
    }
    if (!display_available()) {
        lock_folder_.unlock();
        return false;
    }
    return true;
}

void X11Clipboard::close() {
    known_.reset();
    lock_folder_.unlock();
}

// Taking the selection away from whoever holds it, without a new owner,
// leaves the clipboard empty; a server of ours then ends.
bool X11Clipboard::empty() {
    auto link = XcbLink::connect();
    auto time = link ? link->server_time() : std::nullopt;
    xcb_atom_t clipboard = link ? link->atom("CLIPBOARD") : xcb_atom_t{XCB_ATOM_NONE};
    if (!time || clipboard == XCB_ATOM_NONE) {
        return false;
    }
    xcb_set_selection_owner(link->connection(), XCB_WINDOW_NONE, clipboard, *time);
    auto cookie = xcb_get_selection_owner(link->connection(), clipboard);
    auto owner = link->reply<xcb_get_selection_owner_reply_t>(cookie.sequence, answer_deadline());
    if (!owner || owner->owner != XCB_WINDOW_NONE) {
        return false;
    }
    known_ = ClipboardContents{};
    return true;
}

bool X11Clipboard::set_text(std::string_view text) {
    return add([&](ClipboardContents& contents) { contents.text = std::string(text); });
}

bool X11Clipboard::set_dib(const std::vector<std::uint8_t>& dib) {
    return add([&](ClipboardContents& contents) { contents.dib = dib; });
}

bool X11Clipboard::set_rich_text(std::string_view rtf) {
    return add([&](ClipboardContents& contents) { contents.rich_text = std::string(rtf); });
}

bool X11Clipboard::add(const std::function<void(ClipboardContents&)>& change) {
    ClipboardContents contents;
    if (known_) {
        contents = *known_;
    } else if (auto reading = ClipboardReading::start()) {
        contents = reading->everything();
    } else {
        return false;
    }
    change(contents);
    auto child = start_serving_child(offers_for(contents));
    if (!child) {
        return false;
    }
    serving_child_ = *child;
    known_ = std::move(contents);
    return true;
}

std::optional<std::string> X11Clipboard::get_text() {
    auto reading = ClipboardReading::start();
    return reading ? reading->text() : std::nullopt;
}

std::optional<std::vector<std::uint8_t>> X11Clipboard::get_dib() {
    auto reading = ClipboardReading::start();
    return reading ? reading->dib() : std::nullopt;
}

}  // namespace varkit::x11
