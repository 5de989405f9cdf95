#include "testing/golden/png_file.h"

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include "framework/win32/handles.h"

namespace dp {

namespace {

ComPtr<IWICImagingFactory> MakeFactory() {
    ComPtr<IWICImagingFactory> factory;
    ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                       IID_IWICImagingFactory, factory.putVoid());
    return factory;
}

std::vector<BYTE> BgrRows(const PixelBuffer& image, UINT stride) {
    std::vector<BYTE> rows(static_cast<std::size_t>(stride) * image.height);
    for (int y = 0; y < image.height; ++y) {
        BYTE* out = rows.data() + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.At(x, y);
            *out++ = static_cast<BYTE>(p);
            *out++ = static_cast<BYTE>(p >> 8);
            *out++ = static_cast<BYTE>(p >> 16);
        }
    }
    return rows;
}

bool EncodePng(IWICImagingFactory* factory, const std::wstring& path, const PixelBuffer& image) {
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), options.put())) ||
        FAILED(frame->Initialize(options.get())) ||
        FAILED(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height))))
        return false;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR)
        return false;
    const UINT stride = static_cast<UINT>(image.width) * 3;
    std::vector<BYTE> rows = BgrRows(image, stride);
    return SUCCEEDED(frame->WritePixels(static_cast<UINT>(image.height), stride,
                                        static_cast<UINT>(rows.size()), rows.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

std::optional<PixelBuffer> DecodePng(IWICImagingFactory* factory, const std::wstring& path) {
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) || FAILED(frame->GetSize(&width, &height)) ||
        width == 0 || height == 0 || width > kMaxPngSide || height > kMaxPngSide ||
        FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)))
        return std::nullopt;
    PixelBuffer image(static_cast<int>(width), static_cast<int>(height));
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(image.pixels.size() * 4),
                                     reinterpret_cast<BYTE*>(image.pixels.data()))))
        return std::nullopt;
    for (std::uint32_t& pixel : image.pixels)
        pixel &= 0xFFFFFF;
    return image;
}

} // namespace

bool SavePng(const std::wstring& path, const PixelBuffer& image) {
    if (image.width <= 0 || image.height <= 0)
        return false;
    ComApartment com; // before the factory, so that it outlives every interface
    const ComPtr<IWICImagingFactory> factory = MakeFactory();
    return factory && EncodePng(factory.get(), path, image);
}

std::optional<PixelBuffer> LoadPng(const std::wstring& path) {
    ComApartment com;
    const ComPtr<IWICImagingFactory> factory = MakeFactory();
    if (!factory)
        return std::nullopt;
    return DecodePng(factory.get(), path);
}

} // namespace dp
