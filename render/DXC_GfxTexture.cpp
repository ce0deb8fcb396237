// Texture creation and loading of the graphics object: plain textures, image files, image file
// lists (".ifl") as frame sequences, video sources, and the default texture folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "foundation/ConfigFileReader.h"
#include "platform/FileSystem.h"
#include "platform/d3d8/ErrorText.h"
#include "platform/d3dx/D3DXTexture.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_Surface.h"
#include "render/DXC_Texture.h"

namespace {

constexpr int32_t AppendFlag = 0x2000;   // keep the slots and sequence, fill the current one
constexpr int32_t NoFilterFlag = 0x1000; // copy the image unscaled
constexpr DWORD DefaultFormat = 0xFFFFFFFFu;

// Sizes that are not positive stay as they are, for the device to refuse.
int32_t NextPowerOfTwo(int32_t v) {
    if (v <= 0) return v;
    int32_t p = 1;
    while (p < v && p < (1 << 30)) p <<= 1;
    return p;
}

bool IsDefaultFormat(D3DFORMAT format) {
    return static_cast<DWORD>(format) == DefaultFormat;
}

bool EndsWithNoCase(const char* text, const char* suffix) {
    const size_t n = std::strlen(text), m = std::strlen(suffix);
    return n >= m && strcasecmp(text + n - m, suffix) == 0;
}

// Characters of code 32 and below are cut from both ends.
std::string Trimmed(const char* line) {
    const char* begin = line;
    while (*begin && static_cast<unsigned char>(*begin) <= 32) ++begin;
    const char* end = begin + std::strlen(begin);
    while (end > begin && static_cast<unsigned char>(end[-1]) <= 32) --end;
    return std::string(begin, end);
}

int32_t FileSizeOf(const char* name) {
    FILE* f = OpenFile(name, "rb");
    if (!f) return 0;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fclose(f);
    return size > 0 && size <= 0x7FFFFFFF ? static_cast<int32_t>(size) : 0;
}

} // namespace

// The device's size rule: powers of two where it needs them.
void DXC_Gfx::FitTextureSize(int32_t& width, int32_t& height) const {
    if (!(caps.TextureCaps & D3DPTEXTURECAPS_POW2)) return;
    width = NextPowerOfTwo(width);
    height = NextPowerOfTwo(height);
}

int32_t DXC_Gfx::CreateTexture(DXC_Texture* texture, int32_t width, int32_t height, int32_t type,
                               D3DFORMAT format, int32_t mipLevels) {
    if (!texture) Error("DXC_Texture pointer in CreateTexture is NULL pointer!");
    if (!texture->GetGfx()) texture->AttachGfx(this);
    texture->FreeCurrent();
    texture->EnsureQuad();
    D3DPOOL pool = D3DPOOL_MANAGED;
    DWORD usage = 0;
    int32_t poolCode = DXC_Texture::PoolManaged;
    switch (type) {
    case 1:
        pool = D3DPOOL_DEFAULT, poolCode = DXC_Texture::PoolDefault;
        break;
    case 2:
        pool = D3DPOOL_SYSTEMMEM, poolCode = DXC_Texture::PoolSystemMemory;
        break;
    case 3:
        pool = D3DPOOL_DEFAULT, poolCode = DXC_Texture::PoolDefault, usage = D3DUSAGE_RENDERTARGET;
        break;
    case 4:
    case -1:
        pool = D3DPOOL_MANAGED, poolCode = DXC_Texture::PoolManaged;
        break;
    default:
        Error("Wrong texture parameter in CreateTexture!");
    }
    if (IsDefaultFormat(format)) format = alphaFormat;
    int32_t w = width, h = height;
    FitTextureSize(w, h);
    IDirect3DTexture8* created = nullptr;
    result = device
                 ? device->CreateTexture(static_cast<UINT>(w > 0 ? w : 0), static_cast<UINT>(h > 0 ? h : 0),
                                         static_cast<UINT>(mipLevels > 0 ? mipLevels : 0), usage, format,
                                         pool, &created)
                 : D3DERR_INVALIDCALL;
    if (FAILED(result)) Error(" D3DXCreateTexture failed: %s ", ErrorText(result));
    const int32_t index = textureList.Add(created, "");
    texture->StoreTexture(created, index, poolCode);
    texture->SetTextureSize(static_cast<float>(width), static_cast<float>(height));
    return 1;
}

int32_t DXC_Gfx::LoadTexture(DXC_Texture* texture, const char* name, D3DCOLOR colorKey, int32_t type,
                             D3DFORMAT format, int32_t mipLevels) {
    if (!texture) Error("DXC_Texture pointer in LoadTexture is NULL pointer!");
    if (!name || !name[0]) Error("Invalid file name in LoadTexture");
    if (!texture->GetGfx()) texture->AttachGfx(this);
    // ">>Video<n>" shows source n - 1.
    if (std::strlen(name) >= 7 && strncasecmp(name, ">>Video", 7) == 0)
        return LoadVideoSource(texture, name, std::atoi(name + 7));

    const TextureLoad load = ReadLoadType(texture, type);
    if (!(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) mipLevels = 0;
    if (!FileExists(name)) Error("Can not open file %s", name);
    if (EndsWithNoCase(name, ".ifl")) return LoadImageList(texture, name, colorKey, load, format, mipLevels);
    return LoadImageFile(texture, name, colorKey, load, format, mipLevels);
}

int32_t DXC_Gfx::LoadVideoSource(DXC_Texture* texture, const char* name, int32_t number) {
    const int32_t source = number - 1;
    if (source < 0 || source >= VideoSources) Error("Invalid video source for texture: %i", number);
    texture->EnsureQuad();
    VideoSource& video = videoSources[source];
    if (video.width <= 0 || video.height <= 0)
        Error("Invalid video source specifications for source %i", number);
    int32_t w = video.width, h = video.height;
    FitTextureSize(w, h);
    texture->FreeCurrent(); // the slot's earlier image would be lost from the list otherwise
    IDirect3DTexture8* created = nullptr;
    result = device ? device->CreateTexture(static_cast<UINT>(w), static_cast<UINT>(h), 1, 0, video.format,
                                            D3DPOOL_MANAGED, &created)
                    : D3DERR_INVALIDCALL;
    if (FAILED(result)) Error("CreateTexture for video source failed: %s ", ErrorText(result));
    video.texture = created;
    texture->videoSource = source;
    texture->StoreTexture(created, textureList.Add(created, name), DXC_Texture::PoolManaged);
    texture->SetTextureSize(static_cast<float>(video.width), static_cast<float>(video.height));
    return 1;
}

// The type's flags and pool. Without the append flag the texture's current image is freed
// first; with it the slots and sequence stay and the current one is filled.
DXC_Gfx::TextureLoad DXC_Gfx::ReadLoadType(DXC_Texture* texture, int32_t type) {
    TextureLoad load;
    const int32_t flagged = type;
    if (type != -1 && (type & AppendFlag))
        type &= ~AppendFlag;
    else
        texture->FreeCurrent();
    load.keep = type != flagged;
    texture->EnsureQuad();
    if (type != -1 && (type & NoFilterFlag)) {
        load.noFilter = 1;
        type &= ~NoFilterFlag;
    }
    switch (type) {
    case 0:
    case -1:
    case 2:
        break;
    case 1:
        load.pool = D3DPOOL_DEFAULT;
        break;
    case 3:
        load.pool = D3DPOOL_DEFAULT, load.usage = D3DUSAGE_RENDERTARGET;
        break;
    default:
        Error("Wrong texture parameter in LoadTexture!");
    }
    load.type = type;
    return load;
}

// One frame per non-blank line. Entries not found as written are looked for by file name in
// the list's folder; a list naming a list is refused, as it would load itself without end.
int32_t DXC_Gfx::LoadImageList(DXC_Texture* texture, const char* name, D3DCOLOR colorKey,
                               const TextureLoad& load, D3DFORMAT format, int32_t mipLevels) {
    ConfigFileReader reader;
    if (reader.Open(name) != 0) Error("Can not open file %s", name);
    std::vector<std::string> entries;
    for (int32_t i = 0; i < reader.GetLineCount(); ++i) {
        const char* line = reader.Line(i);
        std::string entry = line ? Trimmed(line) : std::string();
        if (!entry.empty()) entries.push_back(std::move(entry));
    }
    if (entries.empty()) Error("Empty texture file list");
    for (const std::string& entry : entries)
        if (EndsWithNoCase(entry.c_str(), ".ifl"))
            Error("Texture file list inside a texture file list: %s", entry.c_str());

    const std::string folder(DirectoryPart(name));
    texture->SetSequenceCount(static_cast<int32_t>(entries.size()), load.keep);
    const int32_t frameType = load.type | (load.noFilter ? NoFilterFlag : 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        texture->SelectFrame(static_cast<int32_t>(i));
        std::string path = entries[i];
        if (!FileExists(path.c_str())) {
            const std::string file(FileNamePart(path));
            path = folder.empty() ? file : folder + "\\" + file;
        }
        LoadTexture(texture, path.c_str(), colorKey, frameType, format, mipLevels);
    }
    return 1;
}

// The format an image loads in when the caller leaves the choice to the graphics object: the
// alternate format for large images without an alpha layout of their own, 16 bits for images
// of 15 bits and for 32-bit images on a 16-bit display, else the file's own.
D3DFORMAT DXC_Gfx::ImageFormat(const D3DXIMAGE_INFO& info) const {
    const int64_t area = static_cast<int64_t>(NextPowerOfTwo(static_cast<int32_t>(info.Width))) *
                         NextPowerOfTwo(static_cast<int32_t>(info.Height));
    const bool keepsAlphaLayout = info.Format == D3DFMT_A8R8G8B8 || info.Format == D3DFMT_X8R8G8B8 ||
                                  info.Format == D3DFMT_A1R5G5B5 || info.Format == D3DFMT_A4R4G4B4;
    if (alternateTextureFormat != D3DFMT_UNKNOWN && area >= 65536 && !keepsAlphaLayout)
        return alternateTextureFormat;
    if (info.Format == D3DFMT_X1R5G5B5 ||
        (info.Format == D3DFMT_X8R8G8B8 && displayMode.Format == D3DFMT_R5G6B5))
        return D3DFMT_R5G6B5;
    return info.Format;
}

int32_t DXC_Gfx::LoadImageFile(DXC_Texture* texture, const char* name, D3DCOLOR colorKey,
                               const TextureLoad& load, D3DFORMAT format, int32_t mipLevels) {
    if (texture->GetSequenceCount() == 0) {
        DXC_Texture::Slot& slot = texture->GetSlot(texture->GetCurrentSlot());
        slot.fileName = name;
        slot.fileSize = FileSizeOf(name);
    }
    D3DXIMAGE_INFO info{};
    result = D3DXGetImageInfoFromFile(name, &info);
    if (FAILED(result)) Error(" D3DXGetImageInfoFromFile failed: %s (file:%s)", ErrorText(result), name);
    if (IsDefaultFormat(format)) format = ImageFormat(info);
    IDirect3DTexture8* created = nullptr;
    result = D3DXCreateTextureFromFileExA(device.get(), name, info.Width, info.Height,
                                          static_cast<UINT>(mipLevels), load.usage, format, load.pool,
                                          load.noFilter ? D3DX_FILTER_NONE : D3DX_FILTER_LINEAR,
                                          D3DX_FILTER_BOX, colorKey, nullptr, nullptr, &created);
    if (FAILED(result)) Error(" D3DXCreateTextureFromFileA failed: %s (file:%s)", ErrorText(result), name);
    const int32_t poolCode =
        load.pool == D3DPOOL_DEFAULT ? DXC_Texture::PoolDefault : DXC_Texture::PoolManaged;
    texture->StoreTexture(created, textureList.Add(created, name), poolCode);
    texture->SetTextureSize(static_cast<float>(info.Width), static_cast<float>(info.Height));

    // Unfiltered images keep their own size; filtered ones show the size they were stored at.
    DXC_Texture::Placement placement;
    if (load.noFilter) {
        placement.edge1x = static_cast<float>(info.Width);
        placement.edge2y = static_cast<float>(info.Height);
    } else {
        D3DSURFACE_DESC desc{};
        result = created->GetLevelDesc(0, &desc);
        if (FAILED(result)) Error("GetLevelDesc failed: %s", ErrorText(result));
        placement.edge1x = static_cast<float>(desc.Width);
        placement.edge2y = static_cast<float>(desc.Height);
    }
    texture->SetPlacement(placement);
    texture->FillQuad();
    return 1;
}

void DXC_Gfx::UpdateVideoSource(int32_t source) {
    if (source < 0 || source >= VideoSources)
        Error("Invalid video source nurber in UpdateVideoSource(): %i", source);
    VideoSource& video = videoSources[source];
    if (!video.update) Error("No video source update function specified for source %i", source);
    if (!video.texture) Error("No texture for video source %i", source);
    IDirect3DSurface8* level = nullptr;
    result = video.texture->GetSurfaceLevel(0, &level);
    if (FAILED(result)) Error("GetSurfaceLevel failed: %s", ErrorText(result));
    DXC_Surface surface(this);
    surface.Attach(level); // released with the temporary wrapper
    video.update(&surface);
}

int32_t DXC_Gfx::ResolveTexturePath(String& name) {
    if (FileExists(name.Text())) return 0;
    const std::string file(FileNamePart(name.Text()));
    std::string resolved = defaultTexturePath.Text();
    // An empty default folder leaves the bare file name, not a name at the root.
    if (!resolved.empty() && resolved.back() != '\\' && resolved.back() != '/') resolved += '\\';
    resolved += file;
    name = resolved.c_str();
    return 1;
}
