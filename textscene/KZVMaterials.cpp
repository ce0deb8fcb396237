// Scene, atmosphere, material and map blocks, and material finalisation.

#include <cstring>
#include <strings.h>

#include "platform/FileSystem.h"
#include "scene/Scene3d.h"
#include "scene/SceneGraphics.h"
#include "textscene/KZVLoader.h"
#include "textscene/KeywordTable.h"
#include "textscene/TextNumber.h"

namespace {

// A colour component in 0..1 as a byte: x 255, truncated, low 8 bits kept.
uint32_t ColourByte(float component) {
    return static_cast<uint32_t>(TruncateToInt32(static_cast<double>(component * 255.0f))) & 0xFFu;
}

uint32_t RGBBytes(const float c[3]) {
    return (ColourByte(c[0]) << 16) | (ColourByte(c[1]) << 8) | ColourByte(c[2]);
}

bool SameText(const char* a, const char* b) {
    return strcasecmp(a, b) == 0;
}

} // namespace

// ---- SCENE, ATMOSPHERIC -----------------------------------------------------------------------

int32_t KZVLoader::ReadScene() {
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        float c[3];
        switch (id) {
        case KW_SCENE_FIRSTFRAME:
            ScanInt(firstFrame);
            break;
        case KW_SCENE_LASTFRAME:
            ScanInt(lastFrame);
            break;
        case KW_SCENE_FRAMESPEED:
            if (!ScanFloat(frameSpeed)) playbackFrameRate = frameSpeed;
            break;
        case KW_SCENE_TICKSPERFRAME:
            ScanFloat(ticksPerFrame);
            break;
        case KW_SCENE_BACKGROUND_STATIC:
            if (!ScanVector(c))
                scene->backgroundColour = (scene->backgroundColour & 0xFF000000u) | RGBBytes(c);
            break;
        case KW_SCENE_AMBIENT_STATIC:
            if (!ScanVector(c)) scene->ambientColour = (scene->ambientColour & 0xFF000000u) | RGBBytes(c);
            break;
        case KW_SCENE_ENVMAP:
            SkipTo('{');
            if (ReadEnvMap()) return 1;
            break;
        case KW_SCENE_SOUNDFILE:
            ScanStringName(soundFile);
            break;
        case KW_SCENE_SCRIPTFILE:
            ScanStringName(scriptFile);
            break;
        default:
            break;
        }
    }
}

int32_t KZVLoader::ReadEnvMap() {
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id != KW_BITMAP) continue;
        char written[TokenSize];
        if (ScanString(written)) return 1;
        if (!options.noTextures) {
            String name(written);
            ResolveMapPath(name);
            if (TextureExists(name.Text())) {
                if (!scene->GetEnvironmentTexture()) scene->SetEnvironmentTexture(graphics->CreateTexture());
                MapSetup setup;
                setup.slot = 0;
                setup.file = name.Text();
                setup.writtenName = written;
                setup.type = -1;
                setup.mipLevels = 1;
                graphics->SetupMap(*scene->GetEnvironmentTexture(), setup);
            } else {
                Warning("Can not open environment texture file %s", written);
            }
        }
        environmentMapName = written;
    }
}

int32_t KZVLoader::ReadAtmospheric() {
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id != KW_STDFOG) continue;
        SkipTo('{');
        if (ReadStdFog()) return 1;
    }
}

int32_t KZVLoader::ReadStdFog() {
    scene->viewOptions.fog = 1;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        float c[3];
        if (id == KW_FOG_COLOR && !ScanVector(c)) scene->viewOptions.fogColour = 0xFF000000u | RGBBytes(c);
    }
}

// ---- MATERIAL_LIST --------------------------------------------------------------------------

int32_t KZVLoader::ReadMaterialList() {
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id == KW_MATERIAL_COUNT) {
            int32_t unused;
            ScanInt(unused);
        } else if (id == KW_MATERIAL) {
            materials.push_back(std::make_unique<MaterialRecord>());
            int32_t index = -1;
            ScanInt(index);
            if (index != static_cast<int32_t>(materials.size()) - 1) Error("Material in wrong order!");
            SkipTo('{');
            materials.back()->diffuseMap.bitmap.Clear();
            if (ReadMaterial(*materials.back(), 1)) return 1;
        }
    }
}

// A file with a second material list finishes only the materials that list added: finishing
// one twice would convert its key times to seconds twice and load its maps again.
void KZVLoader::FinishMaterialList() {
    if (materials.empty()) materials.push_back(std::make_unique<MaterialRecord>());
    for (auto& material : materials)
        if (!material->finished) FinishMaterial(*material);
}

int32_t KZVLoader::ReadMaterial(MaterialRecord& material, int32_t depth) {
    if (depth > MaxNesting) Error("Sub-materials nested more than %i deep", MaxNesting);
    int32_t subIndex = 0;
    material.numSubMaterials = 0;
    if (VersionAtLeast(2, 10)) material.mirrorU = material.mirrorV = material.tileU = material.tileV = 0;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        float c[3];
        char text[TokenSize];
        switch (id) {
        case KW_MATERIAL_NAME:
            if (ScanString(text)) return 1;
            material.name = text;
            break;
        case KW_MATERIAL_DIFFUSE:
        case KW_MATERIAL_AMBIENT:
        case KW_MATERIAL_SPECULAR:
        case KW_MATERIAL_SELFILLUM_COLOR: {
            if (ScanVector(c)) return 1;
            D3DCOLORVALUE& colour = id == KW_MATERIAL_DIFFUSE    ? material.diffuse
                                    : id == KW_MATERIAL_AMBIENT  ? material.ambient
                                    : id == KW_MATERIAL_SPECULAR ? material.specular
                                                                 : material.selfIllumination;
            colour = {c[0], c[1], c[2], 1.0f};
            break;
        }
        case KW_MATERIAL_SHINESTRENGTH:
            if (ScanFloat(material.shineStrength)) return 1;
            break;
        case KW_MATERIAL_SHINE:
            if (ScanFloat(material.shine)) return 1;
            break;
        case KW_MATERIAL_TRANSPARENCY:
            if (ScanFloat(material.transparency)) return 1;
            break;
        case KW_MATERIAL_TWOSIDED: {
            // The keyword alone also means two-sided.
            int32_t value = 1;
            ScanInt(value);
            material.twoSided = value != 0;
            break;
        }
        case KW_MATERIAL_TRANSPARENCY_TYPE:
            SkipWhitespace();
            ScanWord(text);
            if (material.transparency > 0.0f) {
                if (SameText(text, "Additive")) material.transparencyType = 1;
                if (SameText(text, "Subtractive")) material.transparencyType = 2;
            }
            break;
        case KW_NUMSUBMTLS:
            ScanInt(material.numSubMaterials);
            // Material ids are reduced into the sub-material count and kept in 16 bits.
            if (material.numSubMaterials > 65535)
                Error("Too many sub-materials: %i", material.numSubMaterials);
            break;
        case KW_SUBMATERIAL: {
            int32_t index = -1;
            ScanInt(index);
            if (index != subIndex) Error("Submaterial in wrong order!");
            material.subMaterials.push_back(std::make_unique<MaterialRecord>());
            SkipTo('{');
            if (ReadMaterial(*material.subMaterials.back(), depth + 1)) return 1;
            ++subIndex;
            break;
        }
        case KW_MAP_DIFFUSE:
        case KW_MAP_REFLECT:
        case KW_MAP_BUMP: {
            SkipTo('{');
            MapSlot& slot = id == KW_MAP_DIFFUSE   ? material.diffuseMap
                            : id == KW_MAP_REFLECT ? material.reflectMap
                                                   : material.bumpMap;
            if (ReadMap(material, slot)) return 1;
            break;
        }
        case KW_MATERIAL_ANIMATION:
            SkipTo('{');
            if (ReadMaterialAnimation(material)) return 1;
            break;
        default:
            break;
        }
    }
}

int32_t KZVLoader::ReadMap(MaterialRecord& material, MapSlot& slot) {
    float uOffset = 0, vOffset = 0, uTiling = 1, vTiling = 1, uAngle = 0, vAngle = 0, wAngle = 0;
    for (bool open = true; open;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_DATA) return 1;
        char text[TokenSize];
        float* value = nullptr;
        switch (id) {
        case KW_END_OF_BLOCK:
            open = false;
            break;
        case KW_BITMAP:
            if (ScanString(text)) return 1;
            slot.bitmap = text;
            break;
        case KW_UVW_U_OFFSET:
            value = &uOffset;
            break;
        case KW_UVW_V_OFFSET:
            value = &vOffset;
            break;
        case KW_UVW_U_TILING:
            value = &uTiling;
            break;
        case KW_UVW_V_TILING:
            value = &vTiling;
            break;
        case KW_UVW_U_ANGLE:
            value = &uAngle;
            break; // read, not used
        case KW_UVW_V_ANGLE:
            value = &vAngle;
            break; // read, not used
        case KW_UVW_W_ANGLE:
            value = &wAngle;
            break;
        case KW_MAP_AMOUNT:
            value = &slot.amount;
            break;
        case KW_TIME_STARTFRAME:
            value = &slot.time.startFrame;
            break;
        case KW_TIME_PLAYBACKRATE:
            value = &slot.time.playbackRate;
            break;
        case KW_MAP_ANIMATION:
            SkipTo('{');
            if (ReadMapAnimation(slot.uv)) return 1;
            break;
        case KW_TIME_ENDCONDITION:
            if (ScanString(text)) return 1;
            if (SameText(text, "loop"))
                slot.time.endCondition = 0;
            else if (SameText(text, "pingpong"))
                slot.time.endCondition = 1;
            else if (SameText(text, "hold"))
                slot.time.endCondition = 2;
            else
                Warning("Unknown end condition for map time parameter");
            break;
        case KW_UVW_TILE_U:
        case KW_UVW_TILE_V: {
            if (ScanString(text)) return 1;
            // Tiling and mirroring belong to the material, not to the map.
            const bool u = id == KW_UVW_TILE_U;
            if (SameText(text, "Tile")) (u ? material.tileU : material.tileV) = 1;
            if (SameText(text, "Mirror")) (u ? material.mirrorU : material.mirrorV) = 1;
            break;
        }
        default:
            break;
        }
        if (value && ScanFloat(*value)) return 1;
    }

    // A mirrored axis repeats twice as often, each second copy flipped by the address mode.
    auto mirror = [](float& tiling, float& offset, FloatTrack& tilingTrack, FloatTrack& offsetTrack) {
        tiling *= 2.0f;
        const float d = 0.5f / tiling;
        offset -= d;
        for (auto& key : tilingTrack.keys) {
            key.value *= 2.0f;
            key.inTangent *= 2.0f;
            key.outTangent *= 2.0f;
        }
        for (auto& key : offsetTrack.keys) key.value -= d;
    };
    if (material.mirrorU)
        mirror(uTiling, uOffset, slot.uv.tracks[UVParameters::UTiling],
               slot.uv.tracks[UVParameters::UOffset]);
    if (material.mirrorV)
        mirror(vTiling, vOffset, slot.uv.tracks[UVParameters::VTiling],
               slot.uv.tracks[UVParameters::VOffset]);

    if (!ComputeUVTransform(uOffset, vOffset, uTiling, vTiling, wAngle, &slot.textureMatrix))
        D3DXMatrixIdentity(&slot.textureMatrix);
    const float base[UVParameters::ValueCount] = {uOffset, vOffset, uTiling, vTiling, wAngle};
    std::memcpy(slot.uv.base, base, sizeof base);
    return 0;
}

int32_t KZVLoader::ReadMapAnimation(UVParameters& uv) {
    FloatTrack* selected = nullptr;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id == KW_MAP_ATTRIBUTE) {
            char text[TokenSize];
            if (ScanString(text)) continue;
            static const char* const names[UVParameters::ValueCount] = {"OffsetU", "OffsetV", "TileU",
                                                                        "TileV", "AngleW"};
            for (int32_t i = 0; i < UVParameters::ValueCount; ++i)
                if (std::strcmp(text, names[i]) == 0) selected = &uv.tracks[i];
        } else if (id == KW_CONTROL_FLOAT_BEZIER && selected) {
            // Without a selected track the controller block is passed over by the scan.
            SkipTo('{');
            if (ReadMapFloatTrack(*selected)) return 1;
        }
    }
}

int32_t KZVLoader::ReadMaterialAnimation(MaterialRecord& material) {
    ColourTrack* colour = nullptr;
    FloatTrack* opacity = nullptr;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        switch (id) {
        case KW_MATERIAL_ATTRIBUTE: {
            char text[TokenSize];
            colour = nullptr;
            opacity = nullptr;
            if (ScanString(text)) break;
            if (SameText(text, "Diffuse")) colour = &material.diffuseTrack;
            if (SameText(text, "Ambient")) colour = &material.ambientTrack;
            if (SameText(text, "Specular")) colour = &material.specularTrack;
            if (SameText(text, "SelfIllumColor")) colour = &material.selfIllumTrack;
            if (SameText(text, "Opacity")) opacity = &material.opacityTrack;
            break;
        }
        case KW_CONTROL_COLOR_BEZIER:
        case KW_CONTROL_COLOR_LINEAR:
            if (colour) {
                SkipTo('{');
                if (ReadColorTrack(*colour)) return 1;
            }
            break;
        case KW_CONTROL_FLOAT_BEZIER:
        case KW_CONTROL_FLOAT_LINEAR:
            if (opacity) {
                SkipTo('{');
                if (ReadFloatTrack(*opacity, 1)) return 1;
            }
            break;
        default:
            break;
        }
    }
}

// ---- finalisation ---------------------------------------------------------------------------

void KZVLoader::SetSlotAnimation(MapSetup& setup, const MapSlot& map, FloatTrack converted[5]) const {
    setup.setUV = 1;
    std::memcpy(setup.uvBase, map.uv.base, sizeof setup.uvBase);
    for (int32_t i = 0; i < UVParameters::ValueCount; ++i) {
        converted[i] = map.uv.tracks[i];
        ConvertFloatTrack(converted[i]);
    }
    setup.uvTracks = converted;
}

void KZVLoader::FinishMaterial(MaterialRecord& material) {
    material.finished = 1;
    D3DMATERIAL8& d3d = material.d3dMaterial;
    d3d.Diffuse = {material.diffuse.r, material.diffuse.g, material.diffuse.b, 1.0f};
    d3d.Ambient = {material.ambient.r, material.ambient.g, material.ambient.b, 1.0f};
    d3d.Specular = {material.shineStrength * material.specular.r,
                    material.shineStrength * material.specular.g,
                    material.shineStrength * material.specular.b, material.specular.a};
    d3d.Emissive = material.selfIllumination;
    d3d.Power = material.shine * 100.0f;

    ConvertColorTrack(material.diffuseTrack);
    ConvertColorTrack(material.ambientTrack);
    ConvertColorTrack(material.specularTrack);
    ConvertColorTrack(material.selfIllumTrack);
    ConvertFloatTrack(material.opacityTrack);
    material.transparent = material.transparency > 0.0f || material.opacityTrack.Count() > 0;

    material.texture = graphics->CreateTexture();
    int32_t nextSlot = 0;
    const bool loading = !options.noTextures;
    FloatTrack tracks[UVParameters::ValueCount];

    if (loading && !material.diffuseMap.bitmap.IsEmpty()) {
        const MapSlot& map = material.diffuseMap;
        String name = map.bitmap;
        ResolveMapPath(name);
        if (TextureExists(name.Text())) {
            MapSetup setup;
            setup.slot = 0;
            setup.file = name.Text();
            setup.writtenName = map.bitmap.Text();
            setup.type = 0;
            setup.mipLevels = options.noMipmaps ? 1 : 0;
            setup.setTiming = 1;
            setup.timing.frameDuration = 1.0f / (frameSpeed * map.time.playbackRate);
            setup.timing.startTime = map.time.startFrame / frameSpeed;
            setup.timing.endCondition = map.time.endCondition;
            setup.setBlendAmount = 1;
            setup.blendAmount = map.amount;
            setup.operation = 1;
            setup.factor = 1.0f;
            SetSlotAnimation(setup, map, tracks);
            const int32_t partialAlpha = graphics->SetupMap(*material.texture, setup);
            if (!material.transparent && partialAlpha) material.transparent = 1;
            d3d.Diffuse.r = d3d.Diffuse.g = d3d.Diffuse.b = 1.0f;
            d3d.Ambient.r = d3d.Ambient.g = d3d.Ambient.b = 1.0f;
            material.slotFileNames[0] = map.bitmap;
            nextSlot = 1;
        } else {
            Warning("Can not open diffuse map '%s'", map.bitmap.Text());
        }
    }

    if (loading && !material.bumpMap.bitmap.IsEmpty()) {
        const MapSlot& map = material.bumpMap;
        MapSetup setup;
        setup.slot = nextSlot;
        setup.operation = 2;
        setup.factor = 1.0f;
        SetSlotAnimation(setup, map, tracks);
        if (options.bumpMaps) {
            String name = map.bitmap;
            ResolveMapPath(name);
            if (TextureExists(name.Text())) {
                setup.file = name.Text();
                setup.writtenName = map.bitmap.Text();
                setup.mipLevels = 1;
                graphics->SetupMap(*material.texture, setup);
                material.slotFileNames[nextSlot] = map.bitmap;
                ++nextSlot;
            } else {
                Warning("Can not open bump map '%s'", map.bitmap.Text());
            }
        } else {
            // Without bump mapping the slot keeps its operation and placement but no image.
            graphics->SetupMap(*material.texture, setup);
            ++nextSlot;
        }
    }

    if (loading && !material.reflectMap.bitmap.IsEmpty()) {
        const MapSlot& map = material.reflectMap;
        String name = map.bitmap;
        ResolveMapPath(name);
        if (TextureExists(name.Text())) {
            MapSetup setup;
            setup.slot = nextSlot;
            setup.file = name.Text();
            setup.writtenName = map.bitmap.Text();
            setup.mipLevels = 1;
            setup.setBlendAmount = 1;
            setup.blendAmount = map.amount;
            setup.operation = 3;
            setup.factor = 1.0f;
            SetSlotAnimation(setup, map, tracks);
            graphics->SetupMap(*material.texture, setup);
            material.reflectionSlot = nextSlot;
            material.slotFileNames[nextSlot] = map.bitmap;
        } else {
            Warning("Can not open reflection map '%s'", map.bitmap.Text());
        }
    }

    material.hasReflectionMap = !material.reflectMap.bitmap.IsEmpty();
    material.hasDiffuseMap = !material.diffuseMap.bitmap.IsEmpty();
    material.hasBumpMap = !material.bumpMap.bitmap.IsEmpty() && options.bumpMaps;
    for (const auto& sub : material.subMaterials) {
        if (!sub->reflectMap.bitmap.IsEmpty()) material.hasReflectionMap = 1;
        if (!sub->diffuseMap.bitmap.IsEmpty()) material.hasDiffuseMap = 1;
        if (!sub->bumpMap.bitmap.IsEmpty()) material.hasBumpMap = 1;
    }
    for (auto& sub : material.subMaterials) FinishMaterial(*sub);
}

// ---- map names --------------------------------------------------------------------------------

void KZVLoader::ResolveMapPath(String& name) const {
    const char* text = name.Text();
    if (name.Length() >= 2 && text[0] == '>') return; // a video source
    const String asGiven = name;
    if (!sceneDirectory.IsEmpty() && !std::strchr(text, ':') && text[0] != '\\' && text[0] != '/') {
        String joined = sceneDirectory;
        joined += "\\";
        joined += asGiven.Text();
        name = joined;
    }
    if (TextureExists(name.Text())) return;
    const std::string file(FileNamePart(asGiven.Text()));
    if (!defaultTexturePath.IsEmpty()) {
        String fromDefault = defaultTexturePath;
        fromDefault += file.c_str();
        name = fromDefault;
        if (TextureExists(name.Text())) return;
    }
    // Scenes made on another machine name maps by paths that do not exist here (drive
    // letters, the author's folders); the map beside the scene file is the last try.
    if (!file.empty()) {
        String beside = sceneDirectory;
        if (!beside.IsEmpty()) beside += "\\";
        beside += file.c_str();
        if (TextureExists(beside.Text())) name = beside;
    }
}

int32_t KZVLoader::TextureExists(const char* name) const {
    if (std::strlen(name) >= 3 && name[0] == '>' && name[1] == '>') return 1;
    FILE* file = OpenFile(name, "rb");
    if (!file) return 0;
    std::fclose(file);
    return 1;
}
