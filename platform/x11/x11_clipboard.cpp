#include "platform/x11/x11_clipboard.h"

#include <algorithm>

#include "platform/clipboard.h"
#include "platform/x11/selection_reader.h"
#include "platform/x11/serving_child.h"

namespace varkit::x11 {
namespace {

// The reads of one clipboard operation, over the connection the clipboard
// opened. A serving process forked later closes its copy of that connection
// at once and makes its own.
class ClipboardReading {
  public:
    static std::optional<ClipboardReading> start(XcbLink& link) {
        auto reader = SelectionReader::start(link);
        if (!reader) {
            return std::nullopt;
        }
        return ClipboardReading(link, *reader);
    }

    // A UTF-8 text holding a character the calculator lacks is passed over
    // for the owner's next text target.
    std::optional<std::string> text() {
        std::optional<std::string> text;
        first_of(kTextTargets, [&](const Converted& converted) {
            text = text_from_selection(link_->atom_name(converted.type), converted.bytes);
            return text.has_value();
        });
        if (!text) {
            return std::nullopt;
        }
        return text_up_to_zero(*text);
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

    ClipboardReading(XcbLink& link, SelectionReader reader) : link_(&link), reader_(reader) {}

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

    XcbLink* link_;
    SelectionReader reader_;
    std::optional<std::vector<xcb_atom_t>> offered_;
};

}  // namespace

X11Clipboard::X11Clipboard(std::string lock_folder, std::unique_ptr<XcbLink> display)
    : lock_folder_(std::move(lock_folder)), link_(std::move(display)) {}

bool X11Clipboard::open() {
    if (!lock_folder_.lock()) {
        return false;
    }
    if (!link_ || link_->broken()) {
        link_ = XcbLink::connect();
    }
    if (!link_) {
        lock_folder_.unlock();
        return false;
    }
    return true;
}

void X11Clipboard::close() {
    if (empty_pending_) {
        give_up_selection();
    }
    empty_pending_ = false;
    known_.reset();
    link_.reset();
    lock_folder_.unlock();
}

bool X11Clipboard::empty() {
    known_ = ClipboardContents{};
    empty_pending_ = true;
    return true;
}

// Taking the selection away from whoever holds it, without a new owner,
// leaves the clipboard empty; a server of ours then ends.
bool X11Clipboard::give_up_selection() {
    XcbLink* link = link_.get();
    auto time = link ? link->server_time() : std::nullopt;
    xcb_atom_t clipboard = link ? link->atom("CLIPBOARD") : xcb_atom_t{XCB_ATOM_NONE};
    if (!time || clipboard == XCB_ATOM_NONE) {
        return false;
    }
    xcb_set_selection_owner(link->connection(), XCB_WINDOW_NONE, clipboard, *time);
    auto cookie = xcb_get_selection_owner(link->connection(), clipboard);
    auto owner = link->reply<xcb_get_selection_owner_reply_t>(cookie.sequence, answer_deadline());
    return owner && owner->owner == XCB_WINDOW_NONE;
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
    } else if (auto reading = ClipboardReading::start(*link_)) {
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
    empty_pending_ = false;
    return true;
}

// Between an empty or set and the close, this program holds the lock and
// knows what the clipboard holds; otherwise the owner, whoever it is, tells.
std::optional<std::string> X11Clipboard::get_text() {
    if (known_) {
        return known_->text ? std::optional(text_up_to_zero(*known_->text)) : std::nullopt;
    }
    auto reading = ClipboardReading::start(*link_);
    return reading ? reading->text() : std::nullopt;
}

std::optional<std::vector<std::uint8_t>> X11Clipboard::get_dib() {
    if (known_) {
        return known_->dib;
    }
    auto reading = ClipboardReading::start(*link_);
    return reading ? reading->dib() : std::nullopt;
}

}  // namespace varkit::x11
