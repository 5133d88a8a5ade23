#include "platform/x11/x11_clipboard.h"

#include <algorithm>
#include <map>

#include "platform/x11/selection_reader.h"
#include "platform/x11/selection_server.h"

namespace varkit::x11 {
namespace {

// The selection as its owner converts it, over the connection the clipboard
// opened. A serving process forked later makes a connection of its own.
class X11Selection : public SelectionSource {
  public:
    X11Selection(XcbLink& link, SelectionReader reader) : link_(&link), reader_(reader) {}

    bool has_owner() override { return reader_.has_owner(); }

    // Without a TARGETS answer only the two best of each list are tried, to
    // keep a silent owner from costing a wait per name.
    std::vector<std::string> worth_asking(const std::vector<std::string>& targets) override {
        if (!offered_) {
            offered_ = reader_.targets().value_or(std::vector<xcb_atom_t>{});
        }
        std::vector<xcb_atom_t> atoms = link_->atoms(targets);
        std::vector<std::string> asked;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            atoms_[targets[i]] = atoms[i];
            bool listed =
                std::find(offered_->begin(), offered_->end(), atoms[i]) != offered_->end();
            if (offered_->empty() ? asked.size() < kProbedWithoutTargets : listed) {
                asked.push_back(targets[i]);
            }
        }
        return asked;
    }

    std::optional<Received> receive(const std::string& target) override {
        auto known = atoms_.find(target);
        auto converted =
            reader_.convert(known != atoms_.end() ? known->second : link_->atom(target));
        if (!converted) {
            return std::nullopt;
        }
        return Received{link_->atom_name(converted->type), std::move(converted->bytes)};
    }

  private:
    static constexpr std::size_t kProbedWithoutTargets = 2;

    XcbLink* link_;
    SelectionReader reader_;
    std::optional<std::vector<xcb_atom_t>> offered_;
    std::map<std::string, xcb_atom_t> atoms_;
};

}  // namespace

X11Clipboard::X11Clipboard(std::string lock_folder, std::unique_ptr<XcbLink> display)
    : SelectionClipboard(std::move(lock_folder)), link_(std::move(display)) {}

bool X11Clipboard::connect() {
    return keep_connected(link_);
}

std::unique_ptr<SelectionSource> X11Clipboard::selection() {
    auto reader = SelectionReader::start(*link_);
    if (!reader) {
        return nullptr;
    }
    return std::make_unique<X11Selection>(*link_, *reader);
}

// Taking the selection away from whoever holds it, without a new owner.
bool X11Clipboard::clear_selection() {
    auto time = link_->server_time();
    xcb_atom_t clipboard = link_->atom("CLIPBOARD");
    if (!time || clipboard == XCB_ATOM_NONE) {
        return false;
    }
    xcb_set_selection_owner(link_->connection(), XCB_WINDOW_NONE, clipboard, *time);
    auto cookie = xcb_get_selection_owner(link_->connection(), clipboard);
    auto owner = link_->reply<xcb_get_selection_owner_reply_t>(cookie.sequence, answer_deadline());
    return owner && owner->owner == XCB_WINDOW_NONE;
}

void X11Clipboard::take_and_serve(const std::vector<Offer>& offers,
                                  const std::function<bool()>& taken) {
    std::unique_ptr<XcbLink> link = XcbLink::connect();
    std::optional<xcb_timestamp_t> acquired = link ? take_selection(*link) : std::nullopt;
    if (acquired && taken()) {
        serve_selection(*link, *acquired, offers);
    }
}

}  // namespace varkit::x11
