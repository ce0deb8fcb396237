// The call log of the recording device.
#include "DeviceTestUtil.h"

#include <set>
#include <string>

using RecordingTest = RecordingDeviceTest;

TEST_F(RecordingTest, CallsAreKeptInOrderWithTheirArguments) {
    recording_->ClearCalls();
    D3DMATRIX world = IdentityMatrix();
    world._42 = 3.0f;
    D3DMATERIAL8 material{};
    material.Diffuse = {0.9f, 0.8f, 0.7f, 1.0f};
    material.Power = 5.0f;
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device_->SetTransform(D3DTS_WORLDMATRIX(2), &world);
    device_->SetMaterial(&material);
    device_->LightEnable(3, TRUE);
    device_->BeginScene();
    device_->EndScene();

    const auto& calls = recording_->Calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].kind, DeviceCallKind::SetRenderState);
    EXPECT_EQ(calls[0].args[0], static_cast<DWORD>(D3DRS_ALPHABLENDENABLE));
    EXPECT_EQ(calls[0].args[1], 1u);
    EXPECT_EQ(calls[1].kind, DeviceCallKind::SetTextureStageState);
    EXPECT_EQ(calls[1].args[2], static_cast<DWORD>(D3DTOP_ADD));
    EXPECT_EQ(calls[2].args[0], 258u);
    EXPECT_EQ(calls[2].matrix._42, 3.0f);
    EXPECT_EQ(calls[3].material.Power, 5.0f);
    EXPECT_EQ(calls[4].kind, DeviceCallKind::LightEnable);
    EXPECT_EQ(calls[6].kind, DeviceCallKind::EndScene);
    EXPECT_EQ(recording_->Count(DeviceCallKind::BeginScene), 1u);
    ASSERT_NE(recording_->Last(DeviceCallKind::SetMaterial), nullptr);
    EXPECT_EQ(recording_->Last(DeviceCallKind::Clear), nullptr);

    EXPECT_EQ(recording_->Text(calls[0]), "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)");
    EXPECT_EQ(recording_->Text(calls[1]), "SetTextureStageState(1, D3DTSS_COLOROP, 7)");
    EXPECT_EQ(recording_->Text(calls[2]),
              "SetTransform(D3DTS_WORLDMATRIX(2), [ 1 0 0 0 | 0 1 0 0 | 0 0 1 0 | 0 3 0 1 ])");
    EXPECT_EQ(recording_->Text(calls[4]), "LightEnable(3, 1)");
    EXPECT_EQ(recording_->LogText().substr(0, 42), "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)\n");
    recording_->ClearCalls();
    EXPECT_TRUE(recording_->Calls().empty());
}

TEST_F(RecordingTest, FailedCallsAreLoggedWithTheirResult) {
    recording_->ClearCalls();
    device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(3), 1);
    device_->EndScene();
    ASSERT_EQ(recording_->Calls().size(), 2u);
    EXPECT_EQ(recording_->Calls()[0].result, D3DERR_INVALIDCALL);
    EXPECT_EQ(recording_->Text(recording_->Calls()[0]), "SetRenderState(3, 1) -> D3DERR_INVALIDCALL");
    EXPECT_EQ(recording_->Text(recording_->Calls()[1]), "EndScene() -> D3DERR_INVALIDCALL");
}

TEST_F(RecordingTest, ResourcesAreNamedInOrderOfCreation) {
    IDirect3DTexture8* texture = nullptr;
    IDirect3DVertexBuffer8* vb = nullptr;
    device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
    device_->CreateVertexBuffer(36, 0, D3DFVF_XYZ, D3DPOOL_SYSTEMMEM, &vb);
    recording_->ClearCalls();
    device_->SetTexture(0, texture);
    device_->SetStreamSource(0, vb, 12);
    device_->SetVertexShader(D3DFVF_XYZ);
    device_->BeginScene();
    device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
    device_->EndScene();
    device_->SetTexture(0, nullptr);
    device_->SetStreamSource(0, nullptr, 0);
    EXPECT_EQ(recording_->LogText(), "SetTexture(0, texture#1)\n"
                                     "SetStreamSource(0, vb#2, 12)\n"
                                     "SetVertexShader(0x2)\n"
                                     "BeginScene()\n"
                                     "DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1)\n"
                                     "EndScene()\n"
                                     "SetTexture(0, null)\n"
                                     "SetStreamSource(0, null, 0)\n");
    texture->Release();
    vb->Release();
}

TEST_F(RecordingTest, RecordingCanBeSwitchedOff) {
    recording_->ClearCalls();
    recording_->SetRecording(false);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    recording_->SetRecording(true);
    device_->SetRenderState(D3DRS_LIGHTING, TRUE);
    ASSERT_EQ(recording_->Calls().size(), 1u);
    EXPECT_EQ(recording_->Calls()[0].args[1], 1u);
}

TEST_F(RecordingTest, EveryTracedCallRecordsItsOwnKindAndName) {
    recording_->ClearCalls();
    // Each traced method once, in the order of the list; most refuse their null arguments.
    IDirect3DDevice8* d = device_;
    d->TestCooperativeLevel();
    d->ResourceManagerDiscardBytes(0);
    d->Reset(nullptr);
    d->Present(nullptr, nullptr, nullptr, nullptr);
    d->CreateTexture(0, 0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr);
    d->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, nullptr);
    d->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, nullptr);
    d->CreateImageSurface(0, 0, D3DFMT_A8R8G8B8, nullptr);
    d->CopyRects(nullptr, nullptr, 0, nullptr, nullptr);
    d->UpdateTexture(nullptr, nullptr);
    d->GetFrontBuffer(nullptr);
    d->SetRenderTarget(nullptr, nullptr);
    d->BeginScene();
    d->EndScene();
    d->Clear(0, nullptr, 0, 0, 1.0f, 0);
    d->SetTransform(D3DTS_VIEW, nullptr);
    d->MultiplyTransform(D3DTS_VIEW, nullptr);
    d->SetViewport(nullptr);
    d->SetMaterial(nullptr);
    d->SetLight(0, nullptr);
    d->LightEnable(0, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, 0);
    d->SetTexture(0, nullptr);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
    d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, 12);
    d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, nullptr, D3DFMT_INDEX16, nullptr, 12);
    d->CreateVertexShader(nullptr, nullptr, nullptr, 0);
    d->SetVertexShader(0);
    d->DeleteVertexShader(7);
    d->SetVertexShaderConstant(0, nullptr, 1);
    d->SetStreamSource(0, nullptr, 0);
    d->SetIndices(nullptr, 0);
    d->CreatePixelShader(nullptr, nullptr);
    d->SetPixelShader(0);
    d->DeletePixelShader(7);
    d->SetPixelShaderConstant(0, nullptr, 1);

    const auto& calls = recording_->Calls();
    ASSERT_EQ(calls.size(), kDeviceCallKindCount);
    std::set<std::string> names;
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(static_cast<size_t>(calls[i].kind), i);
        const std::string name = DeviceCallName(calls[i].kind);
        EXPECT_TRUE(names.insert(name).second) << name << " twice";
        EXPECT_EQ(recording_->Text(calls[i]).rfind(name + "(", 0), 0u) << recording_->Text(calls[i]);
    }
    EXPECT_EQ(names.count("SetRenderState"), 1u);
    EXPECT_EQ(names.count("DrawIndexedPrimitiveUP"), 1u);
}
