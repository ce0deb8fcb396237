#include "GfxTestSupport.h"

RecordingGfx::RecordingGfx(bool hardwareVertexProcessing, RecordingConfig config) {
    gfx = new DXC_Gfx(CreateRecordingDirect3D8(config));
    D3DDISPLAYMODE mode{640, 480, 0, D3DFMT_R5G6B5};
    gfx->InitDevice(nullptr, 1, &mode, 16, 0, hardwareVertexProcessing ? 1 : 0, 0);
    Forget();
}

RecordingGfx::~RecordingGfx() {
    delete gfx;
}

std::vector<std::string> RecordingGfx::Calls() const {
    std::vector<std::string> lines;
    for (const DeviceCall& call : Device().Calls()) lines.push_back(Device().Text(call));
    return lines;
}
