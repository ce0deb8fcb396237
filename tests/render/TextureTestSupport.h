#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/d3d8/RecordingDevice.h"
#include "platform/d3dx/ImageCodecWrite.h"
#include "render/DXC_Gfx.h"
#include "support/LogCapture.h"

// A graphics object on the recording device (windowed, off-screen) per test, beside the log
// capture (whose folder also takes the image files a test writes). Derived fixtures may adjust
// the device's adapter in AdjustConfig before it is made.
class RecordingGfxTest : public LogCaptureTest {
protected:
    void SetUp() override {
        LogCaptureTest::SetUp();
        if (HasFatalFailure()) return;
        RecordingConfig config = DefaultRecordingConfig();
        AdjustConfig(config);
        gfx = new DXC_Gfx(CreateRecordingDirect3D8(config));
        gfx->InitDevice(nullptr, 1, nullptr, 16, 0, HardwareVertexProcessing(), 0);
        device = AsRecordingDevice(gfx->GetDevice());
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override {
        ReleaseObjects();
        delete gfx;
        gfx = nullptr;
        LogCaptureTest::TearDown();
    }
    // Objects that must go before the graphics object.
    virtual void ReleaseObjects() {}
    virtual void AdjustConfig(RecordingConfig&) {}
    virtual int32_t HardwareVertexProcessing() const { return 0; }

    // Writes an image file of the given kind; pixels are A8R8G8B8 words, row by row.
    std::string WriteImage(const std::string& name, uint32_t width, uint32_t height,
                           const std::function<uint32_t(uint32_t, uint32_t)>& pixel,
                           ImageFileKind kind = ImageFileKind::Png, bool withAlpha = true) {
        PixelImage image;
        EXPECT_TRUE(MakePixelImage(image, width, height));
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) image.At(x, y) = pixel(x, y);
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(EncodeImageFile(kind, image, withAlpha, bytes));
        return WriteBytes(name, bytes);
    }
    std::string WriteSolid(const std::string& name, uint32_t width, uint32_t height, uint32_t colour,
                           ImageFileKind kind = ImageFileKind::Png, bool withAlpha = true) {
        return WriteImage(
            name, width, height, [colour](uint32_t, uint32_t) { return colour; }, kind, withAlpha);
    }
    std::string WriteText(const std::string& name, const std::string& text) {
        return WriteBytes(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::filesystem::path path = dir / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // The message of the DXC_Error (or ErrorMsg) the call throws; "<no error>" when none.
    static std::string ErrorOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const DXC_Error& e) {
            return e.message;
        } catch (const ErrorMsg& e) {
            return e.message;
        }
        return "<no error>";
    }

    DXC_Gfx* gfx = nullptr;
    RecordingDevice* device = nullptr;
};

// Level 0 description of a Direct3D texture.
inline D3DSURFACE_DESC LevelDesc(IDirect3DTexture8* texture) {
    D3DSURFACE_DESC desc{};
    EXPECT_NE(texture, nullptr);
    if (texture) {
        EXPECT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    }
    return desc;
}
