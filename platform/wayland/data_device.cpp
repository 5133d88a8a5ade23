#include "platform/wayland/data_device.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/unique_fd.h"

namespace varkit::wayland {
namespace {

struct Transfer {
    std::optional<std::string> bytes;
    bool timed_out = false;
};

// Reads the pipe to its end: each piece within the wait for one answer, the
// whole within the longest transfer, at most the largest one we believe.
Transfer read_transfer(int fd) {
    const auto whole = Clock::now() + kLongestTransfer;
    std::string bytes;
    char piece[1 << 16];
    for (;;) {
        pollfd watched{fd, POLLIN, 0};
        int ready = poll(&watched, 1, poll_timeout(std::min(answer_deadline(), whole)));
        if (ready == 0) {
            return {std::nullopt, true};
        }
        ssize_t got = ready > 0 ? read(fd, piece, sizeof piece) : -1;
        if (got == 0) {
            return {std::move(bytes), false};
        }
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return {};
        }
        bytes.append(piece, static_cast<std::size_t>(got));
        if (bytes.size() > kLargestTransfer) {
            return {};
        }
    }
}

}  // namespace

const DeviceEvents DataDevice::kEvents{introduce, select, finish, select_primary};
const OfferEvents DataDevice::kOfferEvents{add_type};

DataDevice::DataDevice(WaylandLink& link)
    : link_(&link), device_(get_data_device(link.protocol(), link.manager(), link.seat())) {
    wl_proxy_add_listener(device_.get(),
                          reinterpret_cast<void (**)(void)>(const_cast<DeviceEvents*>(&kEvents)),
                          this);
}

void DataDevice::introduce(void* data, wl_proxy*, wl_proxy* offer) {
    auto* device = static_cast<DataDevice*>(data);
    auto offered = std::make_unique<OfferedTypes>(OfferedTypes{offer_proxy(offer), {}});
    wl_proxy_add_listener(
        offer, reinterpret_cast<void (**)(void)>(const_cast<OfferEvents*>(&kOfferEvents)),
        offered.get());
    device->introduced_[offer] = std::move(offered);
}

void DataDevice::add_type(void* data, wl_proxy*, const char* mime_type) {
    static_cast<OfferedTypes*>(data)->types.emplace_back(mime_type);
}

std::unique_ptr<DataDevice::OfferedTypes> DataDevice::take_introduced(wl_proxy* offer) {
    auto found = introduced_.find(offer);
    if (found == introduced_.end()) {
        return nullptr;
    }
    std::unique_ptr<OfferedTypes> taken = std::move(found->second);
    introduced_.erase(found);
    return taken;
}

// The previous selection's offer ends as the new one takes its place.
void DataDevice::select(void* data, wl_proxy*, wl_proxy* offer) {
    auto* device = static_cast<DataDevice*>(data);
    device->selection_ = device->take_introduced(offer);
    device->owner_silent_ = false;
}

// Only the clipboard is ours to use: a primary selection's offer ends at once.
void DataDevice::select_primary(void* data, wl_proxy*, wl_proxy* offer) {
    static_cast<DataDevice*>(data)->take_introduced(offer);
}

void DataDevice::finish(void* data, wl_proxy*) {
    static_cast<DataDevice*>(data)->finished_ = true;
}

std::vector<std::string> DataDevice::selection_types() const {
    return selection_ ? selection_->types : std::vector<std::string>{};
}

std::vector<std::string> DataDevice::worth_asking(const std::vector<std::string>& targets) {
    std::vector<std::string> offered = selection_types();
    std::vector<std::string> asked;
    std::copy_if(targets.begin(), targets.end(), std::back_inserter(asked),
                 [&offered](const std::string& target) {
                     return std::find(offered.begin(), offered.end(), target) != offered.end();
                 });
    return asked;
}

std::optional<Received> DataDevice::receive(const std::string& target) {
    if (!selection_ || owner_silent_) {
        return std::nullopt;
    }
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    UniqueFd read_end(pipe_fds[0]);
    UniqueFd write_end(pipe_fds[1]);
    wayland::receive(selection_->offer.get(), target.c_str(), write_end.get());
    write_end.reset();
    // Until the request has gone out, its copy of the write end keeps the
    // pipe from ever ending.
    if (!link_->flush(answer_deadline())) {
        return std::nullopt;
    }
    Transfer transfer = read_transfer(read_end.get());
    owner_silent_ = transfer.timed_out;
    if (!transfer.bytes) {
        return std::nullopt;
    }
    return Received{target, std::move(*transfer.bytes)};
}

}  // namespace varkit::wayland
