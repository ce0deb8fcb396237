#include "platform/d3dx/D3DXImage.h"

#include "platform/d3dx/D3DXImageAccess.h"

HRESULT D3DXGetImageInfoFromFileInMemory(const void* srcData, UINT srcDataSize, D3DXIMAGE_INFO* srcInfo) {
    if (srcData == nullptr || srcDataSize == 0 || srcInfo == nullptr) return D3DERR_INVALIDCALL;
    ImageDescription description;
    HRESULT hr = ToResult(ProbeImage(static_cast<const uint8_t*>(srcData), srcDataSize, description));
    if (SUCCEEDED(hr)) FillImageInfo(description, srcInfo);
    return hr;
}

HRESULT D3DXGetImageInfoFromFileA(const char* srcFile, D3DXIMAGE_INFO* srcInfo) {
    if (srcInfo == nullptr) return D3DERR_INVALIDCALL;
    std::vector<uint8_t> bytes;
    HRESULT hr = ReadImageFile(srcFile, bytes);
    if (FAILED(hr)) return hr;
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return D3DXERR_INVALIDDATA;
    return D3DXGetImageInfoFromFileInMemory(bytes.data(), static_cast<UINT>(bytes.size()), srcInfo);
}
