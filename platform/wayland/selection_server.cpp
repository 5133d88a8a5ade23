#include "platform/wayland/selection_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace varkit::wayland {
namespace {

constexpr std::size_t kPieceSize = std::size_t{1} << 16;

}  // namespace

const SourceEvents SelectionServer::kEvents{send, cancel};

SelectionServer::SelectionServer(WaylandLink& link, const std::vector<Offer>& offers)
    : link_(link),
      offers_(offers),
      source_(create_data_source(link.protocol(), link.manager())),
      device_(link) {
    wl_proxy_add_listener(source_.get(),
                          reinterpret_cast<void (**)(void)>(const_cast<SourceEvents*>(&kEvents)),
                          this);
    for (const Offer& offer : offers) {
        offer_type(source_.get(), offer.target.c_str());
    }
}

std::unique_ptr<SelectionServer> SelectionServer::take(WaylandLink& link,
                                                       const std::vector<Offer>& offers) {
    std::unique_ptr<SelectionServer> server(new SelectionServer(link, offers));
    set_selection(server->device_.proxy(), server->source_.get());
    if (!link.roundtrip(answer_deadline()) || !server->confirmed()) {
        return nullptr;
    }
    return server;
}

// The compositor announces the new selection to every device, ours too: it
// is ours when it lists our targets and nobody replaced it since.
bool SelectionServer::confirmed() {
    std::vector<std::string> announced = device_.selection_types();
    return !cancelled_ && std::all_of(offers_.begin(), offers_.end(), [&](const Offer& offer) {
        return std::find(announced.begin(), announced.end(), offer.target) != announced.end();
    });
}

void SelectionServer::send(void* data, wl_proxy*, const char* mime_type, std::int32_t fd) {
    auto* server = static_cast<SelectionServer*>(data);
    UniqueFd pipe(fd);
    auto found = std::find_if(server->offers_.begin(), server->offers_.end(),
                              [&](const Offer& offer) { return offer.target == mime_type; });
    if (found == server->offers_.end()) {
        return;  // a type we never offered: the pipe ends empty
    }
    // One reader that does not read must not hold up the others.
    fcntl(pipe.get(), F_SETFL, fcntl(pipe.get(), F_GETFL) | O_NONBLOCK);
    server->transfers_.push_back({std::move(pipe), found->bytes, 0, Clock::now() + kTransferIdle});
}

void SelectionServer::cancel(void* data, wl_proxy*) {
    static_cast<SelectionServer*>(data)->cancelled_ = true;
}

void SelectionServer::serve() {
    bool connected = true;
    while (connected ? !((cancelled_ || device_.finished()) && transfers_.empty())
                     : !transfers_.empty()) {
        std::vector<pollfd> watched;
        for (const Transfer& transfer : transfers_) {
            watched.push_back({transfer.pipe.get(), POLLOUT, 0});
        }
        // Transfers under way are finished even when the compositor is gone.
        if (connected) {
            connected = link_.wait(watched, next_deadline());
        } else if (poll(watched.data(), watched.size(), poll_timeout(next_deadline())) < 0) {
            continue;
        }
        write_ready(watched);
    }
}

// A transfer ends when all is written, the reader left, or it read nothing
// for the time it may take for one piece.
void SelectionServer::write_ready(std::vector<pollfd>& watched) {
    const auto now = Clock::now();
    for (std::size_t i = 0; i < watched.size(); ++i) {
        Transfer& transfer = transfers_[i];
        if (watched[i].revents == 0 || transfer.sent == transfer.bytes->size()) {
            continue;
        }
        std::size_t piece = std::min(kPieceSize, transfer.bytes->size() - transfer.sent);
        ssize_t written = write(transfer.pipe.get(), transfer.bytes->data() + transfer.sent, piece);
        if (written > 0) {
            transfer.sent += static_cast<std::size_t>(written);
            transfer.deadline = now + kTransferIdle;
        } else if (errno != EAGAIN && errno != EINTR) {
            transfer.deadline = now;
        }
    }
    std::erase_if(transfers_, [&](const Transfer& transfer) {
        return transfer.sent == transfer.bytes->size() || transfer.deadline <= now;
    });
}

std::optional<Clock::time_point> SelectionServer::next_deadline() const {
    if (transfers_.empty()) {
        return std::nullopt;
    }
    return std::min_element(
               transfers_.begin(), transfers_.end(),
               [](const Transfer& a, const Transfer& b) { return a.deadline < b.deadline; })
        ->deadline;
}

}  // namespace varkit::wayland
