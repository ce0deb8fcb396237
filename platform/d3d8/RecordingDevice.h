// A Direct3D 8 backend that draws nothing and records every call.
//
// Resources live in memory (ResourceCommon.h) with all of Direct3D 8's checks (DeviceCommon.h),
// so code written against the interfaces runs unchanged; every call that changes state, creates
// something, draws or presents is kept in order with its arguments, as structured records and as
// readable text. Tools load scenes with it; tests compare exact state sequences.
// Clear fills the back buffer in memory and Present copies it to the front buffer, so
// GetFrontBuffer and back-buffer locks show what was cleared.
#pragma once

#include "platform/d3d8/DeviceCommon.h"

#include <string>
#include <unordered_map>
#include <vector>

struct RecordingConfig {
    AdapterDescription adapter; // one adapter
    UINT windowWidth = 640;     // client size that windowed devices take
    UINT windowHeight = 480;
};

// One adapter: desktop 1024 x 768 X8R8G8B8 at 60 Hz; modes 640 x 480, 800 x 600, 1024 x 768 and
// 1280 x 1024 at 60, 75 and 85 Hz in X8R8G8B8 and R5G6B5; StandardCaps(); the standard texture
// formats, X8R8G8B8, A8R8G8B8 and R5G6B5 render targets, D16, D24S8, D24X8 and D32 depth.
RecordingConfig DefaultRecordingConfig();

IDirect3D8* CreateRecordingDirect3D8(const RecordingConfig& config);

// A windowed recording device with a back buffer of the given size and a D16 depth buffer
// (hardware vertex processing when asked for); one reference, or null on failure.
IDirect3DDevice8* CreateRecordingDevice(UINT width = 640, UINT height = 480,
                                        bool hardwareVertexProcessing = true,
                                        const RecordingConfig& config = DefaultRecordingConfig());

class RecordingDevice final : public DeviceCommon {
public:
    const std::vector<DeviceCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    // Recording on (the default) or off.
    void SetRecording(bool on) { tracing_ = on; }

    size_t Count(DeviceCallKind kind) const;
    // The last recorded call of a kind, or null.
    const DeviceCall* Last(DeviceCallKind kind) const;
    // The calls of one kind, in order.
    std::vector<DeviceCall> Filter(DeviceCallKind kind) const;

    // One line per call, e.g. "SetRenderState(D3DRS_ZENABLE, 1)" or
    // "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 8, 0, 12) -> D3DERR_INVALIDCALL".
    // Resources appear as "texture#1", "vb#2", "ib#3", "surface#4" in order of creation.
    std::string Text(const DeviceCall& call) const;
    std::string LogText() const;

    // Factory used by the recording Direct3D object.
    static HRESULT Create(Direct3DCommon* d3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                          DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& parameters,
                          const D3DDISPLAYMODE& mode, IDirect3DDevice8** device);

protected:
    void OnCall(const DeviceCall& call) override;

private:
    using DeviceCommon::DeviceCommon;
    std::string ObjectName(const void* object) const;

    std::vector<DeviceCall> calls_;
    std::unordered_map<const void*, std::string> names_;
    unsigned nextName_ = 1;
};

// The recording device behind an interface pointer, or null for another backend.
RecordingDevice* AsRecordingDevice(IDirect3DDevice8* device);
