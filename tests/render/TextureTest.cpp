// Texture loading and creation on the recording device: sharing through the texture list,
// image file lists, video sources, formats and flags, messages of missing and bad input,
// and the default texture folder.
#include "tests/render/TextureTestSupport.h"

#include <memory>

#include "foundation/File.h"
#include "render/DXC_Surface.h"
#include "render/DXC_Texture.h"

namespace {

const D3DFORMAT DefaultFormat = static_cast<D3DFORMAT>(0xFFFFFFFFu);

// A BMP of 16 bits per pixel (X1R5G5B5), which the image reader reports as such.
std::vector<uint8_t> Bmp16(uint32_t width, uint32_t height, uint16_t pixel) {
    const uint32_t rowBytes = (width * 2 + 3) & ~3u;
    const uint32_t dataSize = rowBytes * height;
    std::vector<uint8_t> b(54 + dataSize, 0);
    auto put32 = [&b](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    b[26] = 1;
    b[28] = 16;
    put32(34, dataSize);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            b[54 + y * rowBytes + x * 2] = static_cast<uint8_t>(pixel);
            b[54 + y * rowBytes + x * 2 + 1] = static_cast<uint8_t>(pixel >> 8);
        }
    return b;
}

class TextureTest : public RecordingGfxTest {
protected:
    void ReleaseObjects() override { textures.clear(); }
    DXC_Texture* NewTexture() {
        textures.push_back(std::make_unique<DXC_Texture>(gfx));
        return textures.back().get();
    }
    int32_t ListCount(int32_t index) {
        ResourceEntry* e = gfx->GetTextureList().Get(index);
        return e ? e->refCount : 0;
    }
    std::vector<std::unique_ptr<DXC_Texture>> textures;
};

// A device that only takes power-of-two texture sizes, showing a 16-bit desktop.
class Pow2TextureTest : public TextureTest {
protected:
    void AdjustConfig(RecordingConfig& config) override {
        config.adapter.caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
        config.adapter.desktopMode.Format = D3DFMT_R5G6B5;
    }
};

// ---- loading and sharing --------------------------------------------------------------------

TEST_F(TextureTest, LoadedImageIsCountedInTheListAndSharedByCopies) {
    const std::string file = WriteSolid("wood.png", 64, 32, 0xFF102030);
    DXC_Texture* a = NewTexture();
    ASSERT_EQ(gfx->LoadTexture(a, file.c_str(), 0, 0, DefaultFormat, 0), 1);
    const DXC_Texture::Slot& slot = a->GetSlot(0);
    ASSERT_NE(slot.texture, nullptr);
    ASSERT_GE(slot.listIndex, 0);
    EXPECT_STREQ(gfx->GetTextureList().Get(slot.listIndex)->name, file.c_str());
    EXPECT_EQ(ListCount(slot.listIndex), 1);
    EXPECT_STREQ(slot.fileName.Text(), file.c_str());
    EXPECT_EQ(slot.fileSize, static_cast<int32_t>(std::filesystem::file_size(file)));
    EXPECT_EQ(slot.pool, DXC_Texture::PoolManaged);
    EXPECT_EQ(a->GetTextureWidth(), 64.0f);
    EXPECT_EQ(a->GetTextureHeight(), 32.0f);
    const D3DSURFACE_DESC desc = LevelDesc(slot.texture);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_NE(a->GetQuad(), nullptr);

    // A copy adds one user per entry; freeing one user leaves the image to the other.
    DXC_Texture* b = NewTexture();
    b->Copy(*a);
    EXPECT_EQ(b->GetSlot(0).texture, slot.texture);
    EXPECT_EQ(ListCount(slot.listIndex), 2);
    EXPECT_NE(b->GetQuad(), a->GetQuad());
    IDirect3DTexture8* shared = slot.texture;
    const int32_t index = slot.listIndex;
    a->Free(0);
    EXPECT_EQ(a->GetSlot(0).texture, nullptr);
    EXPECT_EQ(a->GetSlot(0).listIndex, -1);
    EXPECT_EQ(ListCount(index), 1);
    EXPECT_EQ(LevelDesc(shared).Width, 64u); // still alive
    b->Free(0);
    EXPECT_EQ(gfx->GetTextureList().Get(index), nullptr);
    EXPECT_EQ(gfx->GetTextureList().GetCount(), 0);
}

TEST_F(TextureTest, DestroyedTexturesReleaseTheirEntries) {
    const std::string file = WriteSolid("a.png", 8, 8, 0xFFFFFFFF);
    {
        DXC_Texture a(gfx);
        gfx->LoadTexture(&a, file.c_str(), 0, 0, DefaultFormat, 0);
        DXC_Texture b(gfx);
        b.Copy(a);
        EXPECT_EQ(ListCount(a.GetSlot(0).listIndex), 2);
    }
    EXPECT_EQ(gfx->GetTextureList().GetCount(), 0);
}

TEST_F(TextureTest, SlotsAreKeptOnlyWithTheAppendFlag) {
    const std::string one = WriteSolid("one.png", 8, 8, 0xFF0000FF);
    const std::string two = WriteSolid("two.png", 8, 8, 0xFF00FF00);
    DXC_Texture* t = NewTexture();
    gfx->LoadTexture(t, one.c_str(), 0, 0, DefaultFormat, 0);
    t->SelectSlot(1);
    gfx->LoadTexture(t, two.c_str(), 0, 0x2000, DefaultFormat, 0);
    EXPECT_NE(t->GetSlot(0).texture, nullptr);
    EXPECT_NE(t->GetSlot(1).texture, nullptr);
    EXPECT_EQ(gfx->GetTextureList().GetCount(), 2);

    // Without the flag the current slot is freed and loaded again.
    gfx->LoadTexture(t, one.c_str(), 0, 0, DefaultFormat, 0);
    EXPECT_EQ(gfx->GetTextureList().GetCount(), 2);
    EXPECT_STREQ(t->GetSlot(1).fileName.Text(), one.c_str());
}

TEST_F(TextureTest, TypeChoosesPoolAndUsage) {
    const std::string file = WriteSolid("t.png", 16, 16, 0xFFFFFFFF);
    DXC_Texture* t = NewTexture();
    gfx->LoadTexture(t, file.c_str(), 0, 1, DefaultFormat, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(t->GetSlot(0).pool, DXC_Texture::PoolDefault);
    gfx->LoadTexture(t, file.c_str(), 0, 2, DefaultFormat, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Pool, D3DPOOL_MANAGED);
    gfx->LoadTexture(t, file.c_str(), 0, 3, DefaultFormat, 1);
    const D3DSURFACE_DESC rt = LevelDesc(t->GetSlot(0).texture);
    EXPECT_EQ(rt.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(rt.Usage & D3DUSAGE_RENDERTARGET, D3DUSAGE_RENDERTARGET);
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(t, file.c_str(), 0, 5, DefaultFormat, 1); }),
              "Wrong texture parameter in LoadTexture!");
}

TEST_F(TextureTest, DefaultPoolImagesLostInAResetAreNotUsedOrReleasedAgain) {
    const std::string file = WriteSolid("rt.png", 8, 8, 0xFFFFFFFF);
    DXC_Texture* lost = NewTexture();
    gfx->LoadTexture(lost, file.c_str(), 0, 1, DefaultFormat, 1);
    DXC_Texture* sharer = NewTexture();
    sharer->Copy(*lost);
    DXC_Texture* kept = NewTexture();
    gfx->LoadTexture(kept, file.c_str(), 0, 0, DefaultFormat, 1);
    gfx->ResetDevice();
    EXPECT_EQ(lost->GetCurrentTexture(), nullptr);
    EXPECT_EQ(lost->GetSlotTexture(0), nullptr);
    EXPECT_EQ(ErrorOf([&] { lost->Lock(nullptr, 0); }), "LockRect failed: D3DERR_INVALIDCALL");
    EXPECT_EQ(lost->TestPartialAlpha(), 0);
    ASSERT_NE(kept->GetCurrentTexture(), nullptr); // managed images survive
    EXPECT_EQ(LevelDesc(kept->GetCurrentTexture()).Width, 8u);
    // Both users let go without touching the released texture.
    lost->Free(0);
    sharer->Free(0);
    EXPECT_EQ(gfx->GetTextureList().GetCount(), 1);
}

TEST_F(TextureTest, MissingAndInvalidInputStopWithTheirMessages) {
    DXC_Texture* t = NewTexture();
    const std::string missing = PathOf("nowhere/none.png");
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(t, missing.c_str(), 0, 0, DefaultFormat, 0); }),
              "Can not open file " + missing);
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(nullptr, missing.c_str(), 0, 0, DefaultFormat, 0); }),
              "DXC_Texture pointer in LoadTexture is NULL pointer!");
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(t, "", 0, 0, DefaultFormat, 0); }),
              "Invalid file name in LoadTexture");
    const std::string junk = WriteText("junk.png", "this is no image");
    const std::string message = ErrorOf([&] { gfx->LoadTexture(t, junk.c_str(), 0, 0, DefaultFormat, 0); });
    EXPECT_EQ(message, " D3DXGetImageInfoFromFile failed: D3DXERR_INVALIDDATA (file:" + junk + ")");
    EXPECT_EQ(gfx->GetTextureList().GetCount(), 0);
    // The errors went to the log prefixed with the graphics object's name.
    EXPECT_EQ(CountEntries("DXC_Gfx: Can not open file"), 1);
}

// ---- formats and the no-filter choice -------------------------------------------------------

TEST_F(Pow2TextureTest, FilteredImagesArePlacedAtTextureSizeUnfilteredAtImageSize) {
    const std::string file = WriteSolid("odd.png", 100, 60, 0xFF808080);
    DXC_Texture* t = NewTexture();
    gfx->LoadTexture(t, file.c_str(), 0, 0, DefaultFormat, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Width, 128u);
    EXPECT_EQ(t->GetTextureWidth(), 100.0f);
    EXPECT_EQ(t->GetPlacement().edge1x, 128.0f);
    EXPECT_EQ(t->GetPlacement().edge2y, 64.0f);
    const RECT r = t->GetScreenRect();
    EXPECT_EQ(r.right, 128);
    EXPECT_EQ(r.bottom, 64);

    gfx->LoadTexture(t, file.c_str(), 0, 0x1000, DefaultFormat, 1);
    EXPECT_EQ(t->GetPlacement().edge1x, 100.0f);
    EXPECT_EQ(t->GetPlacement().edge2y, 60.0f);
    // Unscaled: the image sits in the top-left corner, transparent black around it.
    t->Lock(nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(t->GetPixel(99, 59), 0xFF808080u);
    EXPECT_EQ(t->GetPixel(100, 0), 0x00000000u);
    t->Unlock();
}

TEST_F(Pow2TextureTest, DefaultFormatFollowsTheFileAndTheDisplay) {
    DXC_Texture* t = NewTexture();
    // 16-bit X1R5G5B5 images and X8R8G8B8 images on a 16-bit display become R5G6B5.
    const std::string x1 = WriteBytes("x1.bmp", Bmp16(8, 8, 0x7C00));
    gfx->LoadTexture(t, x1.c_str(), 0, 0, DefaultFormat, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Format, D3DFMT_R5G6B5);
    const std::string x8 = WriteSolid("x8.dds", 8, 8, 0xFF336699, ImageFileKind::Dds, false);
    gfx->LoadTexture(t, x8.c_str(), 0, 0, DefaultFormat, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Format, D3DFMT_R5G6B5);
    // Alpha stays.
    const std::string a8 = WriteSolid("a8.png", 8, 8, 0x80336699);
    gfx->LoadTexture(t, a8.c_str(), 0, 0, DefaultFormat, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Format, D3DFMT_A8R8G8B8);
    // An explicit format is used as given.
    gfx->LoadTexture(t, a8.c_str(), 0, 0, D3DFMT_A4R4G4B4, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Format, D3DFMT_A4R4G4B4);
}

TEST_F(TextureTest, AlternateFormatTakesLargeImagesWithoutAnAlphaLayout) {
    gfx->alternateTextureFormat = D3DFMT_A4R4G4B4;
    DXC_Texture* t = NewTexture();
    const std::string large = WriteSolid("large.bmp", 256, 200, 0xFF204060, ImageFileKind::Bmp, false);
    gfx->LoadTexture(t, large.c_str(), 0, 0, DefaultFormat, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Format, D3DFMT_A4R4G4B4);
    const std::string small = WriteSolid("small.bmp", 128, 128, 0xFF204060, ImageFileKind::Bmp, false);
    gfx->LoadTexture(t, small.c_str(), 0, 0, DefaultFormat, 1);
    EXPECT_NE(LevelDesc(t->GetSlot(0).texture).Format, D3DFMT_A4R4G4B4);
    const std::string alpha = WriteSolid("alpha.png", 256, 256, 0x80204060);
    gfx->LoadTexture(t, alpha.c_str(), 0, 0, DefaultFormat, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Format, D3DFMT_A8R8G8B8);
}

TEST_F(TextureTest, ColourKeyMakesMatchingPixelsTransparent) {
    const std::string file =
        WriteImage("key.png", 4, 1, [](uint32_t x, uint32_t) { return x == 0 ? 0xFFFF00FFu : 0xFF00FF00u; });
    DXC_Texture* t = NewTexture();
    gfx->LoadTexture(t, file.c_str(), 0xFFFF00FF, 0, D3DFMT_A8R8G8B8, 1);
    t->Lock(nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(t->GetPixel(0, 0) >> 24, 0u);
    EXPECT_EQ(t->GetPixel(3, 0), 0xFF00FF00u);
    t->Unlock();
}

// ---- CreateTexture --------------------------------------------------------------------------

TEST_F(Pow2TextureTest, CreateTextureRoundsToPowersOfTwoAndReportsTheAskedSize) {
    DXC_Texture* t = NewTexture();
    ASSERT_EQ(gfx->CreateTexture(t, 100, 60, 4, DefaultFormat, 1), 1);
    const D3DSURFACE_DESC desc = LevelDesc(t->GetSlot(0).texture);
    EXPECT_EQ(desc.Width, 128u);
    EXPECT_EQ(desc.Height, 64u);
    EXPECT_EQ(desc.Format, gfx->GetAlphaFormat());
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    int32_t w = 0, h = 0;
    EXPECT_EQ(t->GetSizeResult(w, h), 1);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 60);
    EXPECT_STREQ(gfx->GetTextureList().Get(t->GetSlot(0).listIndex)->name, "");

    gfx->CreateTexture(t, 64, 64, 2, D3DFMT_A8R8G8B8, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(gfx->GetTextureList().GetCount(), 1); // the earlier image was freed
    gfx->CreateTexture(t, 64, 64, 3, D3DFMT_A8R8G8B8, 1);
    EXPECT_EQ(LevelDesc(t->GetSlot(0).texture).Usage & D3DUSAGE_RENDERTARGET, D3DUSAGE_RENDERTARGET);
    EXPECT_EQ(ErrorOf([&] { gfx->CreateTexture(t, 64, 64, 0, D3DFMT_A8R8G8B8, 1); }),
              "Wrong texture parameter in CreateTexture!");
    EXPECT_EQ(ErrorOf([&] { gfx->CreateTexture(nullptr, 64, 64, 1, D3DFMT_A8R8G8B8, 1); }),
              "DXC_Texture pointer in CreateTexture is NULL pointer!");
    EXPECT_EQ(ErrorOf([&] { gfx->CreateTexture(t, 0, 64, 1, D3DFMT_A8R8G8B8, 1); }),
              " D3DXCreateTexture failed: D3DERR_INVALIDCALL ");
}

// ---- image file lists -----------------------------------------------------------------------

TEST_F(TextureTest, ImageListGivesOneFrameForEveryNonBlankLine) {
    const std::string f0 = WriteSolid("seq/f0.png", 8, 8, 0xFF000000);
    WriteSolid("seq/f1.png", 8, 8, 0xFF111111);
    WriteSolid("seq/f2.png", 8, 8, 0xFF222222);
    // Written as absolute path, bare name, and a path to a folder that does not exist.
    const std::string list =
        WriteText("seq/anim.ifl", "\r\n  " + f0 + "  \r\n\r\n\tf1.png\t\r\nC:\\elsewhere\\F2.PNG\r\n   \r\n");
    DXC_Texture* t = NewTexture();
    ASSERT_EQ(gfx->LoadTexture(t, list.c_str(), 0, 0, DefaultFormat, 1), 1);
    ASSERT_EQ(t->GetSequenceCount(), 3);
    for (int32_t i = 0; i < 3; ++i) {
        const DXC_Texture::Frame* frame = t->GetFrame(i);
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(frame->texture, nullptr);
        EXPECT_EQ(ListCount(frame->listIndex), 1);
        t->SelectFrame(i);
        EXPECT_EQ(t->GetCurrentTexture(), frame->texture);
        t->Lock(nullptr, D3DLOCK_READONLY);
        EXPECT_EQ(t->GetPixel(0, 0), 0xFF000000u + 0x111111u * static_cast<uint32_t>(i));
        t->Unlock();
    }
    // The entries name the frame files as resolved into the list's folder.
    const std::string folder = (dir / "seq").string();
    EXPECT_STREQ(gfx->GetTextureList().Get(t->GetFrame(1)->listIndex)->name, (folder + "\\f1.png").c_str());
    EXPECT_STREQ(gfx->GetTextureList().Get(t->GetFrame(2)->listIndex)->name, (folder + "\\F2.PNG").c_str());
    // Slots are not for sequences.
    EXPECT_EQ(ErrorOf([&] { t->SelectSlot(1); }), "No stages with texture sequence allowed");
    EXPECT_EQ(ErrorOf([&] { t->SelectFrame(3); }), "Invalid sequence number");
    EXPECT_EQ(ErrorOf([&] { t->Free(3); }), "Invalid sequence to free: 3");
    // A copy shares every frame.
    DXC_Texture* c = NewTexture();
    c->Copy(*t);
    EXPECT_EQ(ListCount(t->GetFrame(2)->listIndex), 2);
    t->SetSequenceCount(0, 0);
    EXPECT_EQ(gfx->GetTextureList().GetCount(), 3);
    c->FreeAll();
    EXPECT_EQ(gfx->GetTextureList().GetCount(), 0);
}

TEST_F(TextureTest, BadImageListsAreRejected) {
    DXC_Texture* t = NewTexture();
    const std::string blank = WriteText("blank.ifl", "  \r\n\t\r\n\r\n");
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(t, blank.c_str(), 0, 0, DefaultFormat, 1); }),
              "Empty texture file list");
    // A list naming itself would never end.
    const std::string self = WriteText("self.ifl", "self.ifl\n");
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(t, self.c_str(), 0, 0, DefaultFormat, 1); }),
              "Texture file list inside a texture file list: self.ifl");
    // A frame that is found nowhere stops the load with its resolved name.
    const std::string lost = WriteText("lost.ifl", "lost.png\n");
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(t, lost.c_str(), 0, 0, DefaultFormat, 1); }),
              "Can not open file " + dir.string() + "\\lost.png");
}

TEST_F(TextureTest, SequenceTakesSlotZeroMatrixAndAnimationPicksFrames) {
    WriteSolid("f0.png", 4, 4, 0xFF000000);
    WriteSolid("f1.png", 4, 4, 0xFF010101);
    const std::string list = WriteText("two.ifl", "f0.png\nf1.png\nf0.png\nf1.png\n");
    DXC_Texture* t = NewTexture();
    gfx->LoadTexture(t, list.c_str(), 0, 0, DefaultFormat, 1);
    TextureSequenceTiming timing;
    timing.frameDuration = 0.2f;
    timing.endCondition = SequencePingPong;
    t->SetSequenceTiming(timing);
    t->UVAnimation(0).baseValues[DXC_TextMatrixAni::UTiling] = 2.0f;
    UpdateTexture(*t, 0.9f);
    EXPECT_EQ(t->GetCurrentFrame(), 3);
    EXPECT_EQ(t->GetSlot(0).matrixSet, 1);
    EXPECT_FLOAT_EQ(t->GetSlot(0).uvMatrix._11, 2.0f);
    UpdateTexture(*t, 1.1f);
    EXPECT_EQ(t->GetCurrentFrame(), 2);
}

TEST_F(TextureTest, SlotMatricesFollowTheCurrentSlot) {
    DXC_Texture* t = NewTexture();
    t->SelectSlot(3);
    t->SetUVTransform(0.0f, 0.0f, 2.0f, 2.0f, 0.0f);
    EXPECT_EQ(t->GetSlot(3).matrixSet, 1);
    EXPECT_EQ(t->GetSlot(0).matrixSet, 0);
    // Tiling twice about the texture centre: (0.5, 0.5) stays where it is.
    const D3DXMATRIX& m = t->GetSlot(3).uvMatrix;
    EXPECT_FLOAT_EQ(0.5f * m._11 + 0.5f * m._21 + m._31, 0.5f);
    EXPECT_FLOAT_EQ(0.5f * m._12 + 0.5f * m._22 + m._32, 0.5f);
    t->SetUVTransform(0.0f, 0.0f, 1.0f, 1.0f, 0.0f);
    EXPECT_EQ(t->GetSlot(3).matrixSet, 0);
    EXPECT_EQ(ErrorOf([&] { t->SelectSlot(8); }), "Invalid texture stage selected: 8");
    EXPECT_EQ(ErrorOf([&] { t->SelectSlot(-1); }), "Invalid texture stage selected: -1");
    EXPECT_EQ(ErrorOf([&] { t->Free(8); }), "Invalid stage: 8");
    EXPECT_EQ(t->GetCurrentSlot(), 3);
}

// ---- video sources --------------------------------------------------------------------------

TEST_F(TextureTest, VideoSourceNamesSelectTheirSourceAndRefreshThroughItsFunction) {
    DXC_Gfx::VideoSource& source = gfx->GetVideoSource(2);
    source.width = 16;
    source.height = 8;
    source.format = D3DFMT_X8R8G8B8;
    source.update = [](DXC_Surface* surface) {
        surface->Lock(nullptr, 0);
        surface->Fill(0xFF123456);
        surface->Unlock();
    };
    DXC_Texture* t = NewTexture();
    ASSERT_EQ(gfx->LoadTexture(t, ">>video3", 0, 0, DefaultFormat, 0), 1);
    EXPECT_EQ(t->videoSource, 2);
    EXPECT_EQ(source.texture, t->GetSlot(0).texture);
    EXPECT_EQ(t->GetTextureWidth(), 16.0f);
    EXPECT_STREQ(gfx->GetTextureList().Get(t->GetSlot(0).listIndex)->name, ">>video3");
    const D3DSURFACE_DESC desc = LevelDesc(source.texture);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);

    gfx->UpdateVideoSource(2);
    t->Lock(nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(t->GetPixel(15, 7), 0xFF123456u);
    t->Unlock();
    // Brightness leaves the pixels of a video source alone.
    t->Brightness(0.5f);
    t->Lock(nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(t->GetPixel(0, 0), 0xFF123456u);
    t->Unlock();

    // Freeing the last user also clears the source's texture.
    t->Free(0);
    EXPECT_EQ(source.texture, nullptr);
    EXPECT_EQ(ErrorOf([&] { gfx->UpdateVideoSource(2); }), "No texture for video source 2");
}

TEST_F(TextureTest, VideoSourceErrors) {
    DXC_Texture* t = NewTexture();
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(t, ">>Video0", 0, 0, DefaultFormat, 0); }),
              "Invalid video source for texture: 0");
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(t, ">>VIDEO17", 0, 0, DefaultFormat, 0); }),
              "Invalid video source for texture: 17");
    EXPECT_EQ(ErrorOf([&] { gfx->LoadTexture(t, ">>Video4", 0, 0, DefaultFormat, 0); }),
              "Invalid video source specifications for source 4");
    EXPECT_EQ(ErrorOf([&] { gfx->UpdateVideoSource(16); }),
              "Invalid video source nurber in UpdateVideoSource(): 16");
    EXPECT_EQ(ErrorOf([&] { gfx->UpdateVideoSource(5); }),
              "No video source update function specified for source 5");
}

// ---- default texture folder ----------------------------------------------------------------

TEST_F(TextureTest, ResolveTexturePathUsesTheDefaultFolderForMissingFiles) {
    const std::string present = WriteSolid("here.png", 2, 2, 0xFFFFFFFF);
    String name = present.c_str();
    EXPECT_EQ(gfx->ResolveTexturePath(name), 0);
    EXPECT_STREQ(name.Text(), present.c_str());

    gfx->SetDefaultTexturePath("/maps/default");
    name = "C:\\scenes\\textures\\wood.bmp";
    EXPECT_EQ(gfx->ResolveTexturePath(name), 1);
    EXPECT_STREQ(name.Text(), "/maps/default\\wood.bmp");
    gfx->SetDefaultTexturePath("D:\\maps\\");
    name = "stone.bmp";
    EXPECT_EQ(gfx->ResolveTexturePath(name), 1);
    EXPECT_STREQ(name.Text(), "D:\\maps\\stone.bmp");
    // Without a default folder the bare name remains (not a name at the root).
    gfx->SetDefaultTexturePath("");
    name = "x/y/stone.bmp";
    EXPECT_EQ(gfx->ResolveTexturePath(name), 1);
    EXPECT_STREQ(name.Text(), "stone.bmp");
}

// ---- stored texture record ------------------------------------------------------------------

TEST_F(TextureTest, StoredRecordReloadsItsMapsFromTheDefaultFolder) {
    WriteSolid("maps/brick.png", 8, 8, 0xFF884422);
    DXC_Texture* t = NewTexture();
    TextureSequenceTiming timing;
    timing.startTime = 1.5f;
    timing.frameDuration = 0.25f;
    timing.endCondition = SequenceHold;
    t->SetSequenceTiming(timing);
    t->GetSlot(0).fileName = "C:\\old\\place\\brick.png";
    t->SetSlotOperation(0, 1, 1.0f);
    t->GetSlot(2).fileName = "C:\\old\\place\\gone.png";
    t->SetSlotOperation(2, 3, 0.5f);
    t->UVAnimation(2).baseValues[DXC_TextMatrixAni::WAngle] = 0.75f;
    const std::string record = PathOf("texture.bin");
    {
        File out;
        ASSERT_EQ(out.Create(record.c_str()), 1);
        t->Write(out);
    }
    gfx->SetDefaultTexturePath((dir / "maps").string().c_str());
    DXC_Texture* r = NewTexture();
    File in;
    ASSERT_EQ(in.Open(record.c_str()), 1);
    DXC_Texture::ReadOptions options;
    options.sceneFile = "scene.3sc";
    r->Read(in, options);
    EXPECT_EQ(in.GetPosition(), in.GetSize());
    EXPECT_EQ(r->GetSequenceTiming().endCondition, SequenceHold);
    EXPECT_FLOAT_EQ(r->GetSequenceTiming().startTime, 1.5f);
    EXPECT_FLOAT_EQ(r->GetSequenceTiming().frameDuration, 0.25f);
    ASSERT_NE(r->GetSlot(0).texture, nullptr);
    EXPECT_STREQ(r->GetSlot(0).fileName.Text(), "C:\\old\\place\\brick.png");
    EXPECT_EQ(r->GetSlot(2).texture, nullptr);
    EXPECT_EQ(r->GetSlot(2).mapType, 3);
    EXPECT_FLOAT_EQ(r->GetSlot(2).factor, 0.5f);
    EXPECT_FLOAT_EQ(r->GetUVAnimation(2).baseValues[DXC_TextMatrixAni::WAngle], 0.75f);
    const std::string expected =
        "File 'scene.3sc': Can not open texture: " + (dir / "maps").string() + "\\gone.png";
    EXPECT_EQ(CountEntries(expected), 1);
}

} // namespace
