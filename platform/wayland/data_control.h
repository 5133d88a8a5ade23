// The two data-control protocols, the standard ext-data-control-v1 and
// wlroots' wlr-data-control-unstable-v1, are the same four interfaces with
// the same requests and events under other names. Everything here is
// written once over both: a protocol is only the table of its interfaces.
#pragma once

#include <wayland-client-core.h>

#include <cstdint>
#include <utility>

namespace varkit::wayland {

struct DataControlProtocol {
    const wl_interface* manager;
    const wl_interface* device;
    const wl_interface* source;
    const wl_interface* offer;
};

// Preferred when a compositor offers both.
extern const DataControlProtocol kExtDataControl;
extern const DataControlProtocol kWlrDataControl;

// The events of a device, a source and an offer in protocol order, as
// libwayland calls them with the object's proxy whichever protocol made it.
struct DeviceEvents {
    void (*data_offer)(void* data, wl_proxy* device, wl_proxy* offer);
    void (*selection)(void* data, wl_proxy* device, wl_proxy* offer);
    void (*finished)(void* data, wl_proxy* device);
    void (*primary_selection)(void* data, wl_proxy* device, wl_proxy* offer);
};
struct SourceEvents {
    void (*send)(void* data, wl_proxy* source, const char* mime_type, std::int32_t fd);
    void (*cancelled)(void* data, wl_proxy* source);
};
struct OfferEvents {
    void (*offer)(void* data, wl_proxy* offer, const char* mime_type);
};

// An object of ours on the connection, gone with its owner: through the
// interface's destructor request where it has one, else on our side only.
// It must go before the connection does.
class Proxy {
  public:
    static constexpr std::uint32_t kNoDestructor = ~0u;

    Proxy() = default;
    explicit Proxy(wl_proxy* proxy, std::uint32_t destructor = kNoDestructor)
        : proxy_(proxy), destructor_(destructor) {}
    ~Proxy() { reset(); }
    Proxy(Proxy&& other) noexcept
        : proxy_(std::exchange(other.proxy_, nullptr)), destructor_(other.destructor_) {}
    Proxy& operator=(Proxy&& other) noexcept {
        if (this != &other) {
            reset();
            proxy_ = std::exchange(other.proxy_, nullptr);
            destructor_ = other.destructor_;
        }
        return *this;
    }
    Proxy(const Proxy&) = delete;
    Proxy& operator=(const Proxy&) = delete;

    wl_proxy* get() const { return proxy_; }
    explicit operator bool() const { return proxy_ != nullptr; }
    void reset();

  private:
    wl_proxy* proxy_ = nullptr;
    std::uint32_t destructor_ = kNoDestructor;
};

// The manager's proxy, ended with its destructor request.
Proxy manager_proxy(wl_proxy* bound);

// The requests varkit makes. `source` may be null: no selection.
Proxy create_data_source(const DataControlProtocol& protocol, wl_proxy* manager);
Proxy get_data_device(const DataControlProtocol& protocol, wl_proxy* manager, wl_proxy* seat);
void set_selection(wl_proxy* device, wl_proxy* source);
void offer_type(wl_proxy* source, const char* mime_type);
void receive(wl_proxy* offer, const char* mime_type, int fd);
// An offer the compositor introduced, ended with its destructor request.
Proxy offer_proxy(wl_proxy* introduced);

}  // namespace varkit::wayland
