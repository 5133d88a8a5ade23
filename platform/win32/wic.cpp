#include "platform/win32/wic.h"

namespace varkit::wic {

// A thread whose COM another part of the program started keeps it as it is.
Session::Session() {
    HRESULT started = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    started_com_ = SUCCEEDED(started);
    if (FAILED(started) && started != RPC_E_CHANGED_MODE) {
        return;
    }
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                     __uuidof(IWICImagingFactory), reinterpret_cast<void**>(factory_.put()));
}

Session::~Session() {
    factory_.reset();
    if (started_com_) {
        CoUninitialize();
    }
}

}  // namespace varkit::wic
