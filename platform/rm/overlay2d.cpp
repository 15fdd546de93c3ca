// Textured rectangles over the finished frame, with a cache of GPU textures.
#include "platform/rm/overlay2d.h"

#include <epoxy/gl.h>

#include <unordered_map>

#include "platform/rm/device.h"

namespace platform::rm {

namespace {

const char* kVertex = R"(#version 330 core
uniform vec4 dst;  // x, y, w, h in clip space
uniform vec4 src;  // u, v, du, dv in texture space
out vec2 uv;
void main() {
    vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);
    uv = src.xy + corner * src.zw;
    gl_Position = vec4(dst.xy + corner * dst.zw, 0.0, 1.0);
}
)";

const char* kFragment = R"(#version 330 core
uniform sampler2D picture;
in vec2 uv;
out vec4 colour;
void main() {
    colour = texture(picture, uv);
}
)";

GLuint Compile(GLenum type, const char* source) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

struct GpuPicture {
    GLuint name = 0;
    std::uint32_t version = 0;
    int width = 0, height = 0;
};

}  // namespace

struct Overlay2D::Impl {
    GLuint program = 0, vao = 0;
    GLint dst = -1, src = -1, picture = -1;
    std::unordered_map<std::uint64_t, GpuPicture> textures;

    ~Impl() {
        for (auto& [id, t] : textures) glDeleteTextures(1, &t.name);
        if (vao) glDeleteVertexArrays(1, &vao);
        if (program) glDeleteProgram(program);
    }
};

std::unique_ptr<Overlay2D> Overlay2D::Create() {
    std::unique_ptr<Overlay2D> o(new Overlay2D);
    o->impl_ = std::make_unique<Impl>();
    Impl& m = *o->impl_;
    const GLuint vs = Compile(GL_VERTEX_SHADER, kVertex);
    const GLuint fs = Compile(GL_FRAGMENT_SHADER, kFragment);
    if (!vs || !fs) {
        if (vs) glDeleteShader(vs);
        if (fs) glDeleteShader(fs);
        return nullptr;
    }
    m.program = glCreateProgram();
    glAttachShader(m.program, vs);
    glAttachShader(m.program, fs);
    glLinkProgram(m.program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(m.program, GL_LINK_STATUS, &linked);
    if (!linked) return nullptr;
    m.dst = glGetUniformLocation(m.program, "dst");
    m.src = glGetUniformLocation(m.program, "src");
    m.picture = glGetUniformLocation(m.program, "picture");
    glGenVertexArrays(1, &m.vao);
    // Most pictures are made before the first frame; room for them avoids rehashing later.
    m.textures.reserve(32);
    return o;
}

Overlay2D::~Overlay2D() = default;

void Overlay2D::Draw(Device& device, const Picture& p, int sx, int sy, int sw, int sh, int x,
                     int y, int w, int h) {
    if (!p.rgba || p.width <= 0 || p.height <= 0 || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
    Impl& m = *impl_;
    GpuPicture& t = m.textures[p.id];
    if (!t.name) glGenTextures(1, &t.name);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, t.name);
    if (t.version != p.version || t.width != p.width || t.height != p.height) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, p.width, p.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     p.rgba);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        t.version = p.version;
        t.width = p.width;
        t.height = p.height;
        ++uploads_;
    }
    const int fw = device.Width(), fh = device.Height();
    GLint previous = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, device.FinishedFramebuffer());
    glViewport(0, 0, fw, fh);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(m.program);
    glUniform1i(m.picture, 0);
    // Top-left pixel rectangles to clip space (y up) and texture space (top row first).
    glUniform4f(m.dst, 2.0f * x / fw - 1.0f, 1.0f - 2.0f * (y + h) / fh, 2.0f * w / fw,
                2.0f * h / fh);
    glUniform4f(m.src, float(sx) / p.width, float(sy + sh) / p.height, float(sw) / p.width,
                -float(sh) / p.height);
    glBindVertexArray(m.vao);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
    glDisable(GL_BLEND);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(previous));
}

}  // namespace platform::rm
