#include "app/win32/PngFile.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <wincodec.h>

#include "platform/WindowsText.h"

namespace velt {

namespace {

// Releases a COM object on every way out.
template <typename T>
struct Held {
    T* object = nullptr;
    ~Held() {
        if (object != nullptr) {
            object->Release();
        }
    }
    T* operator->() const { return object; }
};

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::uint8_t* pixels,
              unsigned stride) {
    const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool written = false;
    {
        Held<IWICImagingFactory> factory;
        Held<IWICStream> stream;
        Held<IWICBitmapEncoder> encoder;
        Held<IWICBitmapFrameEncode> frame;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        written =
            SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_PPV_ARGS(&factory.object))) &&
            SUCCEEDED(factory->CreateStream(&stream.object)) &&
            SUCCEEDED(stream->InitializeFromFilename(Utf16(path).c_str(), GENERIC_WRITE)) &&
            SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.object)) &&
            SUCCEEDED(encoder->Initialize(stream.object, WICBitmapEncoderNoCache)) &&
            SUCCEEDED(encoder->CreateNewFrame(&frame.object, nullptr)) &&
            SUCCEEDED(frame->Initialize(nullptr)) &&
            SUCCEEDED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) &&
            SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat24bppBGR &&
            SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), stride,
                                         stride * static_cast<UINT>(height),
                                         const_cast<BYTE*>(pixels))) &&
            SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    }
    if (SUCCEEDED(started)) {
        CoUninitialize();
    }
    return written;
}

}  // namespace velt
