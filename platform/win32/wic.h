// The Windows Imaging Component, Windows' own image codecs, for the picture
// programs: one place that starts COM and makes the imaging factory.
// Windows builds only.
#pragma once

// clang-format off
#include <windows.h>
#include <wincodec.h>
// clang-format on

#include <utility>

namespace varkit::wic {

// A COM interface pointer that lets its object go when it goes.
template <class Interface>
class Ref {
  public:
    Ref() = default;
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For a call that hands out a new pointer.
    Interface** put() {
        reset();
        return &pointer_;
    }
    void reset() {
        if (pointer_ != nullptr) {
            std::exchange(pointer_, nullptr)->Release();
        }
    }

  private:
    Interface* pointer_ = nullptr;
};

// COM on this thread and the imaging factory, for as long as the object
// lives.
class Session {
  public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Nothing when the system has no imaging component.
    IWICImagingFactory* factory() const { return factory_.get(); }

  private:
    bool started_com_ = false;
    Ref<IWICImagingFactory> factory_;
};

}  // namespace varkit::wic
