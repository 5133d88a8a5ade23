#include "platform/wayland/data_control.h"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace varkit::wayland {
namespace {

// Opcodes of the requests, the same in both protocols.
constexpr std::uint32_t kCreateDataSource = 0;
constexpr std::uint32_t kGetDataDevice = 1;
constexpr std::uint32_t kManagerDestroy = 2;
constexpr std::uint32_t kSetSelection = 0;
constexpr std::uint32_t kOffer = 0;
constexpr std::uint32_t kReceive = 0;
constexpr std::uint32_t kObjectDestroy = 1;  // device, source and offer

// Written once over both protocols only while they agree; the generated
// headers hold each protocol's own numbering and listeners.
static_assert(EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE == kCreateDataSource &&
              ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE == kCreateDataSource);
static_assert(EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE == kGetDataDevice &&
              ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE == kGetDataDevice);
static_assert(EXT_DATA_CONTROL_MANAGER_V1_DESTROY == kManagerDestroy &&
              ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY == kManagerDestroy);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION == kSetSelection &&
              ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION == kSetSelection);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_DESTROY == kObjectDestroy &&
              ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY == kObjectDestroy);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_OFFER == kOffer &&
              ZWLR_DATA_CONTROL_SOURCE_V1_OFFER == kOffer);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_DESTROY == kObjectDestroy &&
              ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY == kObjectDestroy);
static_assert(EXT_DATA_CONTROL_OFFER_V1_RECEIVE == kReceive &&
              ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE == kReceive);
static_assert(EXT_DATA_CONTROL_OFFER_V1_DESTROY == kObjectDestroy &&
              ZWLR_DATA_CONTROL_OFFER_V1_DESTROY == kObjectDestroy);
static_assert(sizeof(DeviceEvents) == sizeof(ext_data_control_device_v1_listener) &&
              sizeof(DeviceEvents) == sizeof(zwlr_data_control_device_v1_listener));
static_assert(sizeof(SourceEvents) == sizeof(ext_data_control_source_v1_listener) &&
              sizeof(SourceEvents) == sizeof(zwlr_data_control_source_v1_listener));
static_assert(sizeof(OfferEvents) == sizeof(ext_data_control_offer_v1_listener) &&
              sizeof(OfferEvents) == sizeof(zwlr_data_control_offer_v1_listener));

wl_proxy* make(wl_proxy* factory, std::uint32_t opcode, const wl_interface* interface,
               wl_proxy* argument = nullptr) {
    const std::uint32_t version = wl_proxy_get_version(factory);
    if (argument == nullptr) {
        return wl_proxy_marshal_flags(factory, opcode, interface, version, 0, nullptr);
    }
    return wl_proxy_marshal_flags(factory, opcode, interface, version, 0, nullptr, argument);
}

}  // namespace

const DataControlProtocol kExtDataControl{
    &ext_data_control_manager_v1_interface, &ext_data_control_device_v1_interface,
    &ext_data_control_source_v1_interface, &ext_data_control_offer_v1_interface};
const DataControlProtocol kWlrDataControl{
    &zwlr_data_control_manager_v1_interface, &zwlr_data_control_device_v1_interface,
    &zwlr_data_control_source_v1_interface, &zwlr_data_control_offer_v1_interface};

void Proxy::reset() {
    if (proxy_ == nullptr) {
        return;
    }
    if (destructor_ == kNoDestructor) {
        wl_proxy_destroy(proxy_);
    } else {
        wl_proxy_marshal_flags(proxy_, destructor_, nullptr, wl_proxy_get_version(proxy_),
                               WL_MARSHAL_FLAG_DESTROY);
    }
    proxy_ = nullptr;
}

Proxy manager_proxy(wl_proxy* bound) {
    return Proxy(bound, kManagerDestroy);
}

Proxy create_data_source(const DataControlProtocol& protocol, wl_proxy* manager) {
    return Proxy(make(manager, kCreateDataSource, protocol.source), kObjectDestroy);
}

Proxy get_data_device(const DataControlProtocol& protocol, wl_proxy* manager, wl_proxy* seat) {
    return Proxy(make(manager, kGetDataDevice, protocol.device, seat), kObjectDestroy);
}

void set_selection(wl_proxy* device, wl_proxy* source) {
    wl_proxy_marshal_flags(device, kSetSelection, nullptr, wl_proxy_get_version(device), 0, source);
}

void offer_type(wl_proxy* source, const char* mime_type) {
    wl_proxy_marshal_flags(source, kOffer, nullptr, wl_proxy_get_version(source), 0, mime_type);
}

void receive(wl_proxy* offer, const char* mime_type, int fd) {
    wl_proxy_marshal_flags(offer, kReceive, nullptr, wl_proxy_get_version(offer), 0, mime_type, fd);
}

Proxy offer_proxy(wl_proxy* introduced) {
    return Proxy(introduced, kObjectDestroy);
}

}  // namespace varkit::wayland
