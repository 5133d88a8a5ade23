// A libpng simplified-interface image that frees itself. No longjmp crosses
// our code: libpng's failures come back as a zero result.
#pragma once

#include <png.h>

#include <cstring>

namespace varkit {

class PngImage {
  public:
    PngImage() {
        std::memset(&image_, 0, sizeof image_);
        image_.version = PNG_IMAGE_VERSION;
    }
    ~PngImage() { png_image_free(&image_); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
    png_image* operator->() { return &image_; }
    png_image* get() { return &image_; }

  private:
    png_image image_;
};

}  // namespace varkit
