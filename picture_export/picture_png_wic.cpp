// PNG files of pictures through the Windows Imaging Component's PNG encoder.
#include "picture_export/picture_images.h"
#include "platform/win32/wic.h"

namespace varkit {
namespace {

// The bytes a memory stream holds.
std::optional<std::vector<std::uint8_t>> stream_bytes(IStream* stream) {
    STATSTG about{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&about, STATFLAG_NONAME)) ||
        FAILED(GetHGlobalFromStream(stream, &memory))) {
        return std::nullopt;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
    if (bytes == nullptr) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> copy(bytes, bytes + about.cbSize.QuadPart);
    GlobalUnlock(memory);
    return copy;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> png_of_picture(const CalculatorPicture& picture) {
    // The encoder's black-and-white format has 0 for black: a pixel that is
    // on. It becomes a 1-bit greyscale PNG.
    std::vector<std::uint8_t> rows = clean_rows(picture, true);
    const auto row_bytes = static_cast<UINT>(picture_row_bytes(picture.size.columns));
    wic::Session session;
    wic::Ref<IStream> memory;
    wic::Ref<IWICBitmapEncoder> encoder;
    wic::Ref<IWICBitmapFrameEncode> frame;
    wic::Ref<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormatBlackWhite;
    const bool written =
        session.factory() != nullptr &&
        SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, memory.put())) &&
        SUCCEEDED(
            session.factory()->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
        SUCCEEDED(encoder->Initialize(memory.get(), WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(frame.put(), options.put())) &&
        SUCCEEDED(frame->Initialize(options.get())) &&
        SUCCEEDED(frame->SetSize(picture.size.columns, picture.size.rows)) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) &&
        IsEqualGUID(format, GUID_WICPixelFormatBlackWhite) &&
        SUCCEEDED(frame->WritePixels(picture.size.rows, row_bytes, static_cast<UINT>(rows.size()),
                                     rows.data())) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    if (!written) {
        return std::nullopt;
    }
    return stream_bytes(memory.get());
}

}  // namespace varkit
