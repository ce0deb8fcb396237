#include "platform/d3d8/RecordingDevice.h"

#include "platform/d3d8/ErrorText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

class RecordingDirect3D final : public Direct3DCommon {
public:
    explicit RecordingDirect3D(const RecordingConfig& config)
        : Direct3DCommon({config.adapter}), width_(config.windowWidth), height_(config.windowHeight) {}

protected:
    HRESULT NewDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                      const D3DPRESENT_PARAMETERS& parameters, const D3DDISPLAYMODE& mode,
                      IDirect3DDevice8** device) override {
        return RecordingDevice::Create(this, adapter, type, focusWindow, behaviorFlags, parameters, mode,
                                       device);
    }
    bool WindowClientSize(HWND, UINT* width, UINT* height) override {
        *width = width_;
        *height = height_;
        return true;
    }

private:
    UINT width_, height_;
};

void Append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& out, const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    out += buffer;
}

void AppendColor(std::string& out, const D3DCOLORVALUE& c) {
    Append(out, "(%g %g %g %g)", c.r, c.g, c.b, c.a);
}

void AppendMatrix(std::string& out, const D3DMATRIX& m) {
    out += "[";
    for (int row = 0; row < 4; ++row) {
        if (row) out += " |";
        for (int col = 0; col < 4; ++col) Append(out, " %g", m.m[row][col]);
    }
    out += " ]";
}

void AppendTransform(std::string& out, DWORD state, const D3DMATRIX& m) {
    char name[40];
    TransformName(state, name, sizeof name);
    out += name;
    out += ", ";
    AppendMatrix(out, m);
}

void AppendMaterial(std::string& out, const D3DMATERIAL8& m) {
    out += "diffuse ";
    AppendColor(out, m.Diffuse);
    out += " ambient ";
    AppendColor(out, m.Ambient);
    out += " specular ";
    AppendColor(out, m.Specular);
    out += " emissive ";
    AppendColor(out, m.Emissive);
    Append(out, " power %g", m.Power);
}

void AppendLight(std::string& out, DWORD index, const D3DLIGHT8& l) {
    Append(out, "%u, type %u diffuse ", index, static_cast<DWORD>(l.Type));
    AppendColor(out, l.Diffuse);
    out += " specular ";
    AppendColor(out, l.Specular);
    out += " ambient ";
    AppendColor(out, l.Ambient);
    Append(out,
           " position (%g %g %g) direction (%g %g %g) range %g falloff %g attenuation %g %g %g theta %g "
           "phi %g",
           l.Position.x, l.Position.y, l.Position.z, l.Direction.x, l.Direction.y, l.Direction.z, l.Range,
           l.Falloff, l.Attenuation0, l.Attenuation1, l.Attenuation2, l.Theta, l.Phi);
}

} // namespace

RecordingConfig DefaultRecordingConfig() {
    RecordingConfig config;
    AdapterDescription& a = config.adapter;
    std::snprintf(a.identifier.Driver, sizeof a.identifier.Driver, "kzv_recording");
    std::snprintf(a.identifier.Description, sizeof a.identifier.Description,
                  "Recording device (draws nothing)");
    a.identifier.VendorId = 0;
    a.identifier.WHQLLevel = 1;
    a.desktopMode = {1024, 768, 60, D3DFMT_X8R8G8B8};
    const UINT sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
    for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8})
        for (const auto& size : sizes)
            for (UINT rate : {60u, 75u, 85u}) a.modes.push_back({size[0], size[1], rate, format});
    a.caps = StandardCaps();
    a.textureFormats = StandardTextureFormats();
    a.renderTargetFormats = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5};
    a.depthFormats = {D3DFMT_D16, D3DFMT_D16_LOCKABLE, D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D32};
    return config;
}

IDirect3D8* CreateRecordingDirect3D8(const RecordingConfig& config) {
    return new RecordingDirect3D(config);
}

IDirect3D8* CreateRecordingDirect3D8() {
    return CreateRecordingDirect3D8(DefaultRecordingConfig());
}

IDirect3DDevice8* CreateRecordingDevice(UINT width, UINT height, bool hardwareVertexProcessing,
                                        const RecordingConfig& config) {
    IDirect3D8* d3d = CreateRecordingDirect3D8(config);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = config.adapter.desktopMode.Format;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_FLIP;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice8* device = nullptr;
    d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                      hardwareVertexProcessing ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                               : D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                      &pp, &device);
    d3d->Release(); // the device keeps its Direct3D object
    return device;
}

HRESULT RecordingDevice::Create(Direct3DCommon* d3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                                DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& parameters,
                                const D3DDISPLAYMODE& mode, IDirect3DDevice8** device) {
    auto* recording = new RecordingDevice(d3d, adapter, type, focusWindow, behaviorFlags, parameters, mode);
    const HRESULT hr = recording->Initialize();
    if (FAILED(hr)) {
        recording->Release();
        return hr;
    }
    recording->tracing_ = true;
    *device = recording;
    return D3D_OK;
}

RecordingDevice* AsRecordingDevice(IDirect3DDevice8* device) {
    return dynamic_cast<RecordingDevice*>(device);
}

void RecordingDevice::OnCall(const DeviceCall& call) {
    if (SUCCEEDED(call.result) && call.object) {
        const char* kind = nullptr;
        switch (call.kind) {
        case DeviceCallKind::CreateTexture:
            kind = "texture";
            break;
        case DeviceCallKind::CreateVertexBuffer:
            kind = "vb";
            break;
        case DeviceCallKind::CreateIndexBuffer:
            kind = "ib";
            break;
        case DeviceCallKind::CreateImageSurface:
            kind = "surface";
            break;
        default:
            break;
        }
        if (kind) names_[call.object] = std::string(kind) + "#" + std::to_string(nextName_++);
    }
    calls_.push_back(call);
}

size_t RecordingDevice::Count(DeviceCallKind kind) const {
    size_t n = 0;
    for (const DeviceCall& c : calls_) n += c.kind == kind;
    return n;
}

const DeviceCall* RecordingDevice::Last(DeviceCallKind kind) const {
    for (auto it = calls_.rbegin(); it != calls_.rend(); ++it)
        if (it->kind == kind) return &*it;
    return nullptr;
}

std::vector<DeviceCall> RecordingDevice::Filter(DeviceCallKind kind) const {
    std::vector<DeviceCall> out;
    for (const DeviceCall& c : calls_)
        if (c.kind == kind) out.push_back(c);
    return out;
}

std::string RecordingDevice::ObjectName(const void* object) const {
    if (!object) return "null";
    if (object == BackBufferSurface()) return "backbuffer";
    if (object == DepthStencilSurface()) return "depthstencil";
    auto it = names_.find(object);
    if (it != names_.end()) return it->second;
    // A texture level or another surface the log has no name for.
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "object@%p", object);
    return buffer;
}

std::string RecordingDevice::Text(const DeviceCall& c) const {
    std::string out = DeviceCallName(c.kind);
    out += "(";
    const DWORD* a = c.args;
    switch (c.kind) {
#define DEVICE_CALL(Name, Parameters, Arguments, Record, Text)                                               \
    case DeviceCallKind::Name: {                                                                             \
        Text;                                                                                                \
        break;                                                                                               \
    }
#include "platform/d3d8/DeviceCalls.inc"
    }
    out += ")";
    if (c.result != D3D_OK) {
        out += " -> ";
        out += ErrorText(c.result);
    }
    return out;
}

std::string RecordingDevice::LogText() const {
    std::string out;
    for (const DeviceCall& c : calls_) {
        out += Text(c);
        out += '\n';
    }
    return out;
}
