// Windows draws the icon the program file carries (IDI_ICON1, the same picture) on each of the
// program's windows by itself. Setting it again through Qt would read the image at start-up,
// and the first image Qt reads has it look through its image plugins: 5 ms under Wine.
#include "platform/programicon.h"

#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

void setProgramIcon(QWidget&) {}

namespace {

// COM on this thread for as long as the picture is read (Qt's Windows platform has it on
// already; a test on another platform may not).
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

} // namespace

QImage decodePicture(const QByteArray& bytes) {
    if (bytes.isEmpty() || bytes.size() > MAXDWORD) return {};
    const ComScope com;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> pixels;
    UINT width = 0, height = 0;
    // The stream only reads the bytes.
    auto* data = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.constData()));
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(data, DWORD(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height)) ||
        width == 0 || height == 0 || width > MaxPictureSide || height > MaxPictureSide ||
        FAILED(factory->CreateFormatConverter(&pixels)) ||
        FAILED(pixels->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA,
                                  WICBitmapDitherTypeNone, nullptr, 0.0,
                                  WICBitmapPaletteTypeCustom)))
        return {};
    // 32 bits per pixel in blue, green, red, alpha order: Qt's ARGB32 on a little-endian machine.
    QImage image(int(width), int(height), QImage::Format_ARGB32);
    if (image.isNull() || FAILED(pixels->CopyPixels(nullptr, UINT(image.bytesPerLine()),
                                                    UINT(image.sizeInBytes()), image.bits())))
        return {};
    return image;
}
