#include "scene/TextMatrixAni.h"

#include "foundation/File.h"

DXC_TextMatrixAni::DXC_TextMatrixAni() : baseValues{0.0f, 0.0f, 1.0f, 1.0f, 0.0f} {
    SetObjectName("DXC_TextMatrixAni");
}

void DXC_TextMatrixAni::Sample(float t, float values[ValueCount]) const {
    for (int i = 0; i < ValueCount; ++i)
        values[i] = tracks[i].keys.empty() ? baseValues[i] : SampleFloat(tracks[i], t);
}

int32_t DXC_TextMatrixAni::Write(File& file) const {
    for (const FloatTrack& track : tracks) WriteArrayTrack(file, track);
    for (float v : baseValues) file.Write(&v, sizeof(float));
    return 1;
}

int32_t DXC_TextMatrixAni::Read(File& file) {
    for (FloatTrack& track : tracks) ReadArrayTrack(file, track);
    for (float& v : baseValues) file.ReadInt(&v);
    return 1;
}
