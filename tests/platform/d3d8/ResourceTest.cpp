// Reference counts and lock rules of textures, surfaces and buffers.
#include "DeviceTestUtil.h"

#include <cstring>

using ResourceTest = RecordingDeviceTest;

TEST_F(ResourceTest, SurfaceLevelsShareTheTexturesReferenceCount) {
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(64, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 7u);
    IDirect3DSurface8* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(2, &level), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u); // creation, the level, this AddRef
    EXPECT_EQ(texture->Release(), 2u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(level->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 16u);
    EXPECT_EQ(desc.Height, 8u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Size, 16u * 8u * 4u);
    EXPECT_EQ(texture->Release(), 1u);
    // The level keeps the texture alive.
    EXPECT_EQ(level->GetDesc(&desc), D3D_OK);
    IDirect3DSurface8* none = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(7, &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(level->Release(), 0u);
}

TEST_F(ResourceTest, ResourcesReportTheirDeviceWithAReference) {
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(64, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb), D3D_OK);
    IDirect3DDevice8* owner = nullptr;
    ASSERT_EQ(vb->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device_);
    EXPECT_EQ(owner->Release(), 1u);
    vb->Release();
}

// Each resource kind reports its own type; only managed resources keep a priority.
TEST_F(ResourceTest, TypesAndPriorities) {
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(64, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb), D3D_OK);
    ASSERT_EQ(device_->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_SYSTEMMEM, &ib), D3D_OK);
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    EXPECT_EQ(vb->GetType(), D3DRTYPE_VERTEXBUFFER);
    EXPECT_EQ(ib->GetType(), D3DRTYPE_INDEXBUFFER);
    EXPECT_EQ(texture->GetType(), D3DRTYPE_TEXTURE);
    EXPECT_EQ(vb->SetPriority(5), 0u);
    EXPECT_EQ(vb->SetPriority(7), 5u);
    EXPECT_EQ(vb->GetPriority(), 7u);
    EXPECT_EQ(texture->SetPriority(3), 0u);
    EXPECT_EQ(texture->GetPriority(), 3u);
    EXPECT_EQ(ib->SetPriority(5), 0u);
    EXPECT_EQ(ib->GetPriority(), 0u);
    vb->Release();
    ib->Release();
    texture->Release();
}

TEST_F(ResourceTest, ResourcesOutlivingTheirDeviceStayUsable) {
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    device_->Release();
    device_ = nullptr;
    IDirect3DDevice8* owner = reinterpret_cast<IDirect3DDevice8*>(1);
    EXPECT_EQ(texture->GetDevice(&owner), D3DERR_INVALIDCALL);
    EXPECT_EQ(owner, nullptr);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(ResourceTest, TextureLocksGiveTheRectanglesFirstPixelAndThePitch) {
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(16, 8, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &texture), D3D_OK);
    D3DLOCKED_RECT whole{};
    ASSERT_EQ(texture->LockRect(0, &whole, nullptr, 0), D3D_OK);
    EXPECT_EQ(whole.Pitch, 32);
    std::memset(whole.pBits, 0, 16 * 8 * 2);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

    const RECT r{3, 2, 5, 4};
    D3DLOCKED_RECT part{};
    ASSERT_EQ(texture->LockRect(0, &part, &r, 0), D3D_OK);
    EXPECT_EQ(static_cast<BYTE*>(part.pBits) - static_cast<BYTE*>(whole.pBits), 2 * 32 + 3 * 2);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    texture->Release();
}

TEST_F(ResourceTest, LockRulesFollowDirect3D) {
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(16, 16, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "already locked";
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3D_OK) << "other levels lock on their own";
    EXPECT_EQ(texture->UnlockRect(1), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL) << "not locked";
    EXPECT_EQ(texture->LockRect(2, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "no such level";
    const RECT outside{8, 8, 17, 12};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    const RECT empty{4, 4, 4, 8};
    EXPECT_EQ(texture->LockRect(0, &locked, &empty, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(0, nullptr, nullptr, 0), D3DERR_INVALIDCALL);
    texture->Release();

    // Default-pool textures are not lockable unless dynamic.
    ASSERT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    texture->Release();
    ASSERT_EQ(device_->CreateTexture(16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture),
              D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    texture->Release();
}

TEST_F(ResourceTest, CompressedLocksStayOnBlockBoundaries) {
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture), D3D_OK);
    D3DLOCKED_RECT whole{}, part{};
    ASSERT_EQ(texture->LockRect(0, &whole, nullptr, 0), D3D_OK);
    EXPECT_EQ(whole.Pitch, 32); // 4 blocks of 8 bytes
    texture->UnlockRect(0);
    const RECT aligned{4, 8, 12, 16};
    ASSERT_EQ(texture->LockRect(0, &part, &aligned, 0), D3D_OK);
    EXPECT_EQ(static_cast<BYTE*>(part.pBits) - static_cast<BYTE*>(whole.pBits), 2 * 32 + 8);
    texture->UnlockRect(0);
    const RECT unaligned{2, 0, 6, 4};
    EXPECT_EQ(texture->LockRect(0, &part, &unaligned, 0), D3DERR_INVALIDCALL);
    texture->Release();
}

TEST_F(ResourceTest, UnlockAfterWritingAdvancesTheGeneration) {
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    ImageMemory& image = AsTexture(texture)->LevelImage(0);
    const uint64_t start = image.Generation();
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    texture->UnlockRect(0);
    EXPECT_EQ(image.Generation(), start) << "a read-only lock changes nothing";
    texture->LockRect(0, &locked, nullptr, 0);
    EXPECT_EQ(image.Generation(), start) << "nothing is final before the unlock";
    texture->UnlockRect(0);
    EXPECT_EQ(image.Generation(), start + 1);
    texture->Release();
}

TEST_F(ResourceTest, BufferLocksCoverRangesAndNest) {
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_SYSTEMMEM, &vb),
              D3D_OK);
    BYTE* all = nullptr;
    BYTE* tail = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &all, 0), D3D_OK);
    ASSERT_EQ(vb->Lock(24, 0, &tail, 0), D3D_OK) << "size 0 locks to the end";
    EXPECT_EQ(tail - all, 24);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    BYTE* p = nullptr;
    EXPECT_EQ(vb->Lock(90, 12, &p, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(97, 0, &p, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(84, 12, &p, 0), D3D_OK);
    vb->Unlock();
    D3DVERTEXBUFFER_DESC desc{};
    ASSERT_EQ(vb->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 96u);
    EXPECT_EQ(desc.FVF, D3DFVF_XYZ);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(desc.Usage, D3DUSAGE_WRITEONLY);
    vb->Release();
}

TEST_F(ResourceTest, CreationRejectsWhatDirect3DRejects) {
    IDirect3DTexture8* t = nullptr;
    EXPECT_EQ(device_->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(16, 16, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3DERR_INVALIDCALL)
        << "more levels than the chain has";
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &t), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(8192, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(t, nullptr);
    IDirect3DVertexBuffer8* vb = nullptr;
    EXPECT_EQ(device_->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &vb), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateVertexBuffer(8, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb), D3DERR_INVALIDCALL)
        << "shorter than one vertex";
    EXPECT_EQ(device_->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED, &vb), D3DERR_INVALIDCALL);
    IDirect3DIndexBuffer8* ib = nullptr;
    EXPECT_EQ(device_->CreateIndexBuffer(64, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib), D3DERR_INVALIDCALL);
    // The buffer rules hold for index buffers too.
    EXPECT_EQ(device_->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateIndexBuffer(64, D3DUSAGE_DYNAMIC, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateIndexBuffer(64, D3DUSAGE_RENDERTARGET, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(ib, nullptr);
    IDirect3DSurface8* s = nullptr;
    EXPECT_EQ(device_->CreateImageSurface(0, 4, D3DFMT_A8R8G8B8, &s), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr),
              D3DERR_INVALIDCALL);
}

TEST(ResourcePowerOfTwo, DevicesThatNeedPowersOfTwoRefuseOtherSizes) {
    RecordingConfig config = DefaultRecordingConfig();
    config.adapter.caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    IDirect3DDevice8* device = CreateRecordingDevice(320, 240, true, config);
    ASSERT_NE(device, nullptr);
    IDirect3DTexture8* t = nullptr;
    EXPECT_EQ(device->CreateTexture(100, 60, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->CreateTexture(128, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    t->Release();
    EXPECT_EQ(device->Release(), 0u);
}
