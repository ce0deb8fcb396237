#include "platform/d3d8/GlShaderCache.h"

#include "platform/d3d8/GlShaderGen.h"

namespace {

GLuint Compile(GLenum type, const std::string& source, std::string* error) {
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    glGetShaderInfoLog(shader, length, nullptr, log.data());
    *error = std::string(type == GL_VERTEX_SHADER ? "vertex" : "fragment") + " shader: " + log.c_str() +
             "\n--- source ---\n" + source;
    glDeleteShader(shader);
    return 0;
}

void FindLocations(GlProgram& p) {
    auto at = [&](const char* name) { return glGetUniformLocation(p.id, name); };
    p.worldView = at("uWorldView");
    p.normalMatrix = at("uNormalMatrix");
    p.projection = at("uProjection");
    p.pixelOffset = at("uPixelOffset");
    p.screenToNdc = at("uScreenToNdc");
    p.depthToNdc = at("uDepthToNdc");
    p.fog = at("uFog");
    p.fogColor = at("uFogColor");
    p.pointSize = at("uPointSize");
    p.pointScale = at("uPointScale");
    p.texMatrix = at("uTexMatrix");
    p.lightPosition = at("uLightPosition");
    p.lightDirection = at("uLightDirection");
    p.lightDiffuse = at("uLightDiffuse");
    p.lightSpecular = at("uLightSpecular");
    p.lightAmbient = at("uLightAmbient");
    p.lightAttenuation = at("uLightAttenuation");
    p.lightSpot = at("uLightSpot");
    p.materialDiffuse = at("uMaterialDiffuse");
    p.materialAmbient = at("uMaterialAmbient");
    p.materialSpecular = at("uMaterialSpecular");
    p.materialEmissive = at("uMaterialEmissive");
    p.materialPower = at("uMaterialPower");
    p.ambient = at("uAmbient");
    p.textureFactor = at("uTextureFactor");
    p.alphaRef = at("uAlphaRef");
}

} // namespace

GlShaderCache::~GlShaderCache() = default;

GlProgram* GlShaderCache::Get(const GlShaderKey& key) {
    auto found = programs_.find(key);
    if (found != programs_.end()) return found->second.get();
    return Build(key);
}

GlProgram* GlShaderCache::Build(const GlShaderKey& key) {
    GLuint vs = Compile(GL_VERTEX_SHADER, GenerateVertexShader(key), &error_);
    if (!vs) return nullptr;
    GLuint fs = Compile(GL_FRAGMENT_SHADER, GenerateFragmentShader(key), &error_);
    if (!fs) {
        glDeleteShader(vs);
        return nullptr;
    }
    auto program = std::make_unique<GlProgram>();
    program->id = glCreateProgram();
    glAttachShader(program->id, vs);
    glAttachShader(program->id, fs);
    glBindFragDataLocation(program->id, 0, "oColor");
    glLinkProgram(program->id);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program->id, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(program->id, GL_INFO_LOG_LENGTH, &length);
        std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
        glGetProgramInfoLog(program->id, length, nullptr, log.data());
        error_ = std::string("program link: ") + log.c_str();
        glDeleteProgram(program->id);
        return nullptr;
    }
    FindLocations(*program);
    // Samplers and the matrix palette have fixed bindings: texture unit i, block binding 0.
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program->id);
    for (int i = 0; i < kGlMaxStages; ++i) {
        char name[16] = "uTexture0";
        name[8] = static_cast<char>('0' + i);
        const GLint location = glGetUniformLocation(program->id, name);
        if (location >= 0) glUniform1i(location, i);
    }
    const GLuint block = glGetUniformBlockIndex(program->id, kGlPaletteBlock);
    if (block != GL_INVALID_INDEX) glUniformBlockBinding(program->id, block, 0);
    glUseProgram(static_cast<GLuint>(previous));
    GlProgram* result = program.get();
    programs_.emplace(key, std::move(program));
    return result;
}

void GlShaderCache::Clear() {
    for (auto& entry : programs_) glDeleteProgram(entry.second->id);
    programs_.clear();
}

void GlShaderCache::ResetUploads() {
    for (auto& entry : programs_)
        for (uint64_t& serial : entry.second->uploaded) serial = 0;
}
