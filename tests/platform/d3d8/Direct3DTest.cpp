// The Direct3D object: adapters, modes, format checks and the rules of CreateDevice.
#include "platform/d3d8/RecordingDevice.h"

#include <gtest/gtest.h>

namespace {

D3DPRESENT_PARAMETERS FullScreen(UINT width, UINT height, D3DFORMAT format, UINT refresh) {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = format;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_FLIP;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.FullScreen_RefreshRateInHz = refresh;
    pp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

class Direct3DTest : public ::testing::Test {
protected:
    void SetUp() override { d3d_ = CreateRecordingDirect3D8(); }
    void TearDown() override { EXPECT_EQ(d3d_->Release(), 0u); }
    IDirect3D8* d3d_ = nullptr;
};

} // namespace

TEST_F(Direct3DTest, OneAdapterWithModesInBothDisplayFormats) {
    EXPECT_EQ(d3d_->GetAdapterCount(), 1u);
    const UINT count = d3d_->GetAdapterModeCount(0);
    ASSERT_GT(count, 0u);
    bool x8 = false, r5 = false;
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE m{};
        ASSERT_EQ(d3d_->EnumAdapterModes(0, i, &m), D3D_OK);
        x8 |= m.Format == D3DFMT_X8R8G8B8;
        r5 |= m.Format == D3DFMT_R5G6B5;
        EXPECT_GT(m.RefreshRate, 0u);
    }
    EXPECT_TRUE(x8 && r5);
    D3DDISPLAYMODE m{};
    EXPECT_EQ(d3d_->EnumAdapterModes(0, count, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->EnumAdapterModes(1, 0, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->GetAdapterModeCount(1), 0u);
    EXPECT_EQ(d3d_->GetAdapterDisplayMode(1, &m), D3DERR_INVALIDCALL);
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &m), D3D_OK);
    EXPECT_EQ(m.Format, D3DFMT_X8R8G8B8);
}

TEST_F(Direct3DTest, FormatChecksDependOnUsage) {
    EXPECT_EQ(
        d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
        D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_DXT5),
              D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET,
                                      D3DRTYPE_TEXTURE, D3DFMT_DXT1),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                      D3DRTYPE_SURFACE, D3DFMT_D24S8),
              D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_P8),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(
        d3d_->CheckDeviceFormat(3, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, TRUE), D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, TRUE),
              D3DERR_NOTAVAILABLE)
        << "windowed devices show in the desktop format";
    EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, FALSE), D3D_OK);
}

TEST_F(Direct3DTest, CapsNameTheDeviceType) {
    D3DCAPS8 caps{};
    ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_FALSE(caps.DevCaps & D3DDEVCAPS_HWRASTERIZATION); // the reference rasteriser is software
    ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWRASTERIZATION);
    EXPECT_TRUE(caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED);
    EXPECT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_SW, &caps), D3DERR_INVALIDCALL);
}

TEST_F(Direct3DTest, FullScreenDevicesNeedAListedMode) {
    IDirect3DDevice8* device = nullptr;
    D3DPRESENT_PARAMETERS pp = FullScreen(1024, 768, D3DFMT_X8R8G8B8, 75);
    ASSERT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
        D3D_OK);
    D3DDISPLAYMODE mode{};
    device->GetDisplayMode(&mode);
    EXPECT_EQ(mode.RefreshRate, 75u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(device->Release(), 0u);

    pp = FullScreen(1024, 768, D3DFMT_R5G6B5, 70);
    EXPECT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
        D3DERR_INVALIDCALL)
        << "70 Hz is not listed";
    EXPECT_EQ(device, nullptr);
    pp = FullScreen(1000, 700, D3DFMT_R5G6B5, 0);
    EXPECT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
        D3DERR_INVALIDCALL);
    pp = FullScreen(800, 600, D3DFMT_R5G6B5, 0);
    pp.BackBufferCount = 0;
    ASSERT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
        D3D_OK);
    EXPECT_EQ(pp.BackBufferCount, 1u) << "the parameters come back completed";
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(Direct3DTest, CreateDeviceChecksBehaviourAndParameters) {
    IDirect3DDevice8* device = nullptr;
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &device), D3DERR_INVALIDCALL)
        << "no vertex processing chosen";
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 &pp, &device),
              D3DERR_INVALIDCALL);
    pp.BackBufferFormat = D3DFMT_R5G6B5;
    EXPECT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
        D3DERR_INVALIDCALL)
        << "not the desktop format";
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    EXPECT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
        D3DERR_INVALIDCALL)
        << "windowed devices take the default interval";
    pp.FullScreen_PresentationInterval = 0;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_X8R8G8B8;
    EXPECT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
        D3DERR_INVALIDCALL);
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
        D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, 640u) << "the window's client size";
    EXPECT_EQ(pp.BackBufferHeight, 480u);
    IDirect3D8* parent = nullptr;
    ASSERT_EQ(device->GetDirect3D(&parent), D3D_OK);
    EXPECT_EQ(parent, d3d_);
    parent->Release();
    EXPECT_EQ(device->Release(), 0u);
}

TEST(Direct3DWithoutHardwareProcessing, HardwareVertexProcessingNeedsTransformAndLighting) {
    RecordingConfig config = DefaultRecordingConfig();
    config.adapter.caps.DevCaps &= ~D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    EXPECT_EQ(CreateRecordingDevice(640, 480, true, config), nullptr);
    IDirect3DDevice8* device = CreateRecordingDevice(640, 480, false, config);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Release(), 0u);
}
