// A frame of the scene pass must not allocate. This file replaces the global allocation
// functions for the whole test program; they count only while the window flag is set, so
// the other tests in the program are unaffected.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "GfxTestSupport.h"
#include "PassTestScene.h"
#include "render/DXC_MeshData.h"
#include "render/DXC_Texture.h"
#include "render/ScenePass.h"

namespace {

std::atomic<bool> gCountAllocations{false};
std::atomic<long> gAllocations{0};

void* Allocate(std::size_t n) {
    if (gCountAllocations.load(std::memory_order_relaxed)) gAllocations.fetch_add(1);
    return std::malloc(n ? n : 1);
}

} // namespace

void* operator new(std::size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

TEST(FrameAllocation, AFrameOfTheScenePassAllocatesNothing) {
    RecordingGfx rec;
    DXC_Gfx& gfx = *rec.gfx;
    auto scene = std::make_unique<DXC_3dScene>();
    PlainView(*scene);
    // Opaque and transparent, textured and plain meshes, a reflective one, a sequence, lights,
    // fog, markers and links: every branch a normal frame takes.
    for (int i = 0; i < 100; ++i) {
        QuadSpec spec;
        spec.position =
            D3DXVECTOR3(static_cast<float>(i % 10) - 5.0f, static_cast<float>(i / 10) - 5.0f, 20.0f + i);
        DXC_Mesh* mesh = AddQuad(gfx, *scene, "q", spec);
        if (i % 3 == 0) {
            auto texture = std::make_unique<DXC_Texture>(&gfx);
            gfx.CreateTexture(texture.get(), 4, 4, 4, D3DFMT_A8R8G8B8, 1);
            texture->SetSlotOperation(0, 1, 1.0f);
            mesh->SetTexture(0, std::move(texture));
        }
        if (i % 4 == 0) mesh->GetMaterial(0)->transparency = 0.5f;
        if (i % 7 == 0) {
            GetMeshData(mesh)->sphereMapChannel = 0;
            mesh->GetMaterial(0)->reflectionChannel = 1;
        }
        if (i > 0 && i % 5 == 0) mesh->SetParent(scene->GetMeshAt(i - 1));
    }
    scene->opaqueCount = 50;
    scene->Lights().AddNew();
    scene->GetLightAt(0)->unset = 0;
    scene->GetLightAt(0)->enabled = 1;
    scene->GetLightAt(0)->light.Type = D3DLIGHT_POINT;
    scene->Helpers().AddNew();
    scene->viewOptions.fog = 1;
    scene->viewOptions.ambient = 1;
    scene->viewOptions.showLinks = 1;
    scene->viewOptions.selectedHelper = -1;
    scene->viewOptions.selectedLight = -1;
    scene->viewOptions.mirror = 1;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    gfx.SetViewMatrix(identity);
    gfx.SetProjection(1.0f, 1000.0f, 1.0f);
    rec.Device().SetRecording(false);
    DXC_ScenePass pass(gfx);
    auto frame = [&] {
        gfx.BeginScene();
        pass.RenderScene(scene.get());
        gfx.EndScene();
    };
    frame(); // the first frame may size the pass's scratch and copy shared geometry
    gAllocations = 0;
    gCountAllocations = true;
    frame();
    frame();
    gCountAllocations = false;
    EXPECT_EQ(gAllocations.load(), 0);
}

} // namespace
