// Textured rectangles over the finished frame, with a cache of GPU textures.
#include "platform/rm/overlay2d.h"

#include "platform/gl/gl_api.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

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

// A picture on the GPU: a grid of textures of at most the largest side each, row
// by row, cut at the same places for every picture.
struct GpuPicture {
    std::vector<GLuint> names;
    std::uint32_t version = 0;
    int width = 0, height = 0;
    int columns = 0, rows = 0;
};

}  // namespace

struct Overlay2D::Impl {
    GLuint program = 0, vao = 0;
    GLint dst = -1, src = -1, picture = -1;
    int piece = 0;  // the largest side of a texture
    std::unordered_map<std::uint64_t, GpuPicture> textures;

    ~Impl() {
        for (auto& [id, t] : textures) {
            if (!t.names.empty()) glDeleteTextures(static_cast<GLsizei>(t.names.size()), t.names.data());
        }
        if (vao) glDeleteVertexArrays(1, &vao);
        if (program) glDeleteProgram(program);
    }
};

std::unique_ptr<Overlay2D> Overlay2D::Create(int maxPiece) {
    std::unique_ptr<Overlay2D> o(new Overlay2D);
    o->impl_ = std::make_unique<Impl>();
    Impl& m = *o->impl_;
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    // GL 3.3 promises at least 1024.
    m.piece = std::max<int>(largest, 1024);
    if (maxPiece > 0) m.piece = std::min(m.piece, maxPiece);
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

int Overlay2D::MaxPiece() const { return impl_->piece; }

namespace {

// Fills every piece of the picture from its pixels.
void Upload(const Picture& p, GpuPicture& t, int piece) {
    const int columns = (p.width + piece - 1) / piece, rows = (p.height + piece - 1) / piece;
    if (columns != t.columns || rows != t.rows) {
        if (!t.names.empty()) glDeleteTextures(static_cast<GLsizei>(t.names.size()), t.names.data());
        t.names.assign(static_cast<std::size_t>(columns) * rows, 0);
        glGenTextures(static_cast<GLsizei>(t.names.size()), t.names.data());
        t.columns = columns;
        t.rows = rows;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, p.width);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int x = c * piece, y = r * piece;
            const int w = std::min(piece, p.width - x), h = std::min(piece, p.height - y);
            glBindTexture(GL_TEXTURE_2D, t.names[static_cast<std::size_t>(r) * columns + c]);
            glPixelStorei(GL_UNPACK_SKIP_PIXELS, x);
            glPixelStorei(GL_UNPACK_SKIP_ROWS, y);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    t.version = p.version;
    t.width = p.width;
    t.height = p.height;
}

}  // namespace

void Overlay2D::Draw(Device& device, const Picture& p, int sx, int sy, int sw, int sh, int x,
                     int y, int w, int h) {
    if (!p.rgba || p.width <= 0 || p.height <= 0 || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
    Impl& m = *impl_;
    GpuPicture& t = m.textures[p.id];
    glActiveTexture(GL_TEXTURE0);
    if (t.names.empty() || t.version != p.version || t.width != p.width || t.height != p.height) {
        Upload(p, t, m.piece);
        uploads_ += t.names.size();
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
    glBindVertexArray(m.vao);
    // Each piece under the source rectangle draws its share of the destination; the
    // shares meet exactly, as one picture's would.
    const double scaleX = double(w) / sw, scaleY = double(h) / sh;
    const int firstColumn = std::max(sx, 0) / m.piece, lastColumn = (std::min(sx + sw, p.width) - 1) / m.piece;
    const int firstRow = std::max(sy, 0) / m.piece, lastRow = (std::min(sy + sh, p.height) - 1) / m.piece;
    for (int r = firstRow; r <= lastRow && r < t.rows; ++r) {
        for (int c = firstColumn; c <= lastColumn && c < t.columns; ++c) {
            const int px = c * m.piece, py = r * m.piece;
            const int pw = std::min(m.piece, p.width - px), ph = std::min(m.piece, p.height - py);
            // The part of the source rectangle in this piece, in picture pixels.
            const int ax = std::max(sx, px), bx = std::min(sx + sw, px + pw);
            const int ay = std::max(sy, py), by = std::min(sy + sh, py + ph);
            if (ax >= bx || ay >= by) continue;
            const double dx = x + (ax - sx) * scaleX, dw = (bx - ax) * scaleX;
            const double dy = y + (ay - sy) * scaleY, dh = (by - ay) * scaleY;
            glBindTexture(GL_TEXTURE_2D, t.names[static_cast<std::size_t>(r) * t.columns + c]);
            // Top-left pixel rectangles to clip space (y up) and texture space (top row first).
            glUniform4f(m.dst, float(2.0 * dx / fw - 1.0), float(1.0 - 2.0 * (dy + dh) / fh),
                        float(2.0 * dw / fw), float(2.0 * dh / fh));
            glUniform4f(m.src, float(ax - px) / pw, float(by - py) / ph, float(bx - ax) / pw,
                        -float(by - ay) / ph);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        }
    }
    glBindVertexArray(0);
    glDisable(GL_BLEND);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(previous));
}

}  // namespace platform::rm
