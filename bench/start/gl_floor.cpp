// The least a program on the saver's own stack can do to show a frame: SDL's window
// and a GL context, one quad, presented once a display refresh until SIGTERM. The start
// benchmark runs it beside the saver, so that what the saver adds to the stack's own
// cost can be told apart from what the stack costs any program.
//
//   gl_floor core     a GL 3.3 core context and one GLSL program, as the saver draws
//   gl_floor legacy   a compatibility context drawing with the fixed-function pipeline
#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_opengl_glext.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace {

volatile std::sig_atomic_t ended = 0;

void End(int) {
    ended = 1;
}

template <typename F>
F Proc(const char* name) {
    return reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

// The quad covers the middle of the window, which the benchmark watches.
const char* kVertex = R"(#version 330 core
void main() {
    vec2 p = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    gl_Position = vec4(p - 0.5, 0.0, 1.0);
}
)";
const char* kFragment = R"(#version 330 core
out vec4 o_color;
void main() { o_color = vec4(1.0, 0.5, 0.2, 1.0); }
)";

bool UseCoreProgram() {
    auto createShader = Proc<PFNGLCREATESHADERPROC>("glCreateShader");
    auto shaderSource = Proc<PFNGLSHADERSOURCEPROC>("glShaderSource");
    auto compileShader = Proc<PFNGLCOMPILESHADERPROC>("glCompileShader");
    auto createProgram = Proc<PFNGLCREATEPROGRAMPROC>("glCreateProgram");
    auto attachShader = Proc<PFNGLATTACHSHADERPROC>("glAttachShader");
    auto linkProgram = Proc<PFNGLLINKPROGRAMPROC>("glLinkProgram");
    auto getProgramiv = Proc<PFNGLGETPROGRAMIVPROC>("glGetProgramiv");
    auto useProgram = Proc<PFNGLUSEPROGRAMPROC>("glUseProgram");
    auto genVertexArrays = Proc<PFNGLGENVERTEXARRAYSPROC>("glGenVertexArrays");
    auto bindVertexArray = Proc<PFNGLBINDVERTEXARRAYPROC>("glBindVertexArray");
    if (!createShader || !shaderSource || !compileShader || !createProgram || !attachShader ||
        !linkProgram || !getProgramiv || !useProgram || !genVertexArrays || !bindVertexArray)
        return false;
    const GLuint program = createProgram();
    for (auto [type, text] :
         {std::pair{GLenum(GL_VERTEX_SHADER), kVertex}, {GLenum(GL_FRAGMENT_SHADER), kFragment}}) {
        const GLuint shader = createShader(type);
        shaderSource(shader, 1, &text, nullptr);
        compileShader(shader);
        attachShader(program, shader);
    }
    linkProgram(program);
    GLint linked = 0;
    getProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) return false;
    useProgram(program);
    GLuint vao = 0;
    genVertexArrays(1, &vao);
    bindVertexArray(vao);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool core = argc > 1 && std::strcmp(argv[1], "core") == 0;
    if (argc < 2 || (!core && std::strcmp(argv[1], "legacy") != 0)) {
        std::fprintf(stderr, "usage: gl_floor core|legacy\n");
        return 2;
    }
    std::signal(SIGTERM, End);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "gl_floor: %s\n", SDL_GetError());
        return 1;
    }
    if (core) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    }
    SDL_DisplayMode mode{};
    SDL_GetDesktopDisplayMode(0, &mode);
    SDL_Window* window = SDL_CreateWindow("gl_floor", 0, 0, mode.w, mode.h,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context || (core && !UseCoreProgram())) {
        std::fprintf(stderr, "gl_floor: no %s GL context: %s\n", argv[1], SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(1);
    // Every GL function comes from the driver, as SDL opens it; nothing links GL.
    auto clearColor = Proc<void (*)(GLfloat, GLfloat, GLfloat, GLfloat)>("glClearColor");
    auto clear = Proc<void (*)(GLbitfield)>("glClear");
    auto drawArrays = Proc<void (*)(GLenum, GLint, GLsizei)>("glDrawArrays");
    auto colour = Proc<void (*)(GLfloat, GLfloat, GLfloat)>("glColor3f");
    auto rect = Proc<void (*)(GLfloat, GLfloat, GLfloat, GLfloat)>("glRectf");
    if (!clearColor || !clear || !drawArrays || (!core && (!colour || !rect))) {
        std::fprintf(stderr, "gl_floor: the driver lacks a GL function\n");
        return 1;
    }
    while (!ended) {
        clearColor(0.0f, 0.0f, 0.3f, 1.0f);
        clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (core) {
            drawArrays(GL_TRIANGLE_STRIP, 0, 4);
        } else {
            colour(1.0f, 0.5f, 0.2f);
            rect(-0.5f, -0.5f, 0.5f, 0.5f);
        }
        SDL_GL_SwapWindow(window);
        for (SDL_Event e; SDL_PollEvent(&e);) {
        }
        SDL_Delay(16);  // Xvfb keeps no vertical sync
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
