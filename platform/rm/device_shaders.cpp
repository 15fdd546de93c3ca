// The device's shader programs: their texts, compiled and linked.
#include "platform/rm/device_shaders.h"

#include "platform/gl/gl_api.h"

namespace platform::rm::shaders {

namespace {

// The lighting shader comes in variants made from one text: Gouraud (lit at each
// corner from its vertex normal, colours interpolated) or flat (lit once per face
// from its face normal, FLAT defined); matte or shiny (a highlight term, SHINY
// defined); for any number of directional lights or for exactly one (ONE_LIGHT, the
// saver's scene: no loop). A variant does only its own work: a software renderer
// runs every branch of a shader for every vertex, and a loop of a count it only
// learns when drawing costs it dearly.
const char* kVertexShader = R"(
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec3 a_face_normal;
layout(location = 3) in vec2 a_uv;
layout(location = 4) in vec4 a_color;
uniform mat4 u_model;
uniform mat4 u_viewproj;
uniform mat3 u_normal;
uniform vec3 u_eye;
uniform vec3 u_ambient;
uniform int u_lights;
uniform vec3 u_to_light[8];
uniform vec3 u_light_color[8];
uniform vec3 u_emissive;
uniform vec3 u_specular;
uniform float u_power;
uniform bool u_lit;
#ifdef FLAT
flat out vec4 v_colour;
#else
out vec4 v_colour;
#endif
out vec2 v_uv;
void main() {
    vec4 wp = u_model * vec4(a_pos, 1.0);
    gl_Position = u_viewproj * wp;
    v_uv = a_uv;
#ifdef FLAT
    vec3 n = u_normal * a_face_normal;
#else
    vec3 n = u_normal * a_normal;
#endif
    // A normal of no length lights nothing (and makes no NaN).
    n *= inversesqrt(max(dot(n, n), 1e-30));
    vec3 diffuse = u_ambient;
    vec3 highlight = vec3(0.0);
#ifdef SHINY
    vec3 v = normalize(u_eye - wp.xyz);
#endif
#ifdef ONE_LIGHT
    const int lights = 1;
#else
    int lights = u_lights;
#endif
    for (int i = 0; i < lights; ++i) {
        float nl = dot(n, u_to_light[i]);
        diffuse += max(nl, 0.0) * u_light_color[i];
#ifdef SHINY
        // Only faces the light reaches shine.
        vec3 h = normalize(u_to_light[i] + v);
        highlight += (nl > 0.0 ? pow(max(dot(n, h), 0.0), u_power) : 0.0) * u_light_color[i];
#endif
    }
    vec3 lit = clamp(u_emissive + a_color.rgb * diffuse + u_specular * highlight, 0.0, 1.0);
    v_colour = vec4(u_lit ? lit : a_color.rgb, a_color.a);
}
)";

const char* kFragmentShader = R"(
#ifdef FLAT
flat in vec4 v_colour;
#else
in vec4 v_colour;
#endif
in vec2 v_uv;
uniform bool u_textured;
uniform sampler2D u_texture;
out vec4 o_color;
void main() {
    vec4 c = v_colour;
    if (u_textured) c.rgb *= texture(u_texture, v_uv).rgb;
    o_color = c;
}
)";

const char* kBackgroundVertex = R"(#version 330 core
out vec2 v_uv;
void main() {
    vec2 p = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    v_uv = vec2(p.x, 1.0 - p.y);
    gl_Position = vec4(p * 2.0 - 1.0, 1.0, 1.0);
}
)";

const char* kBackgroundFragment = R"(#version 330 core
in vec2 v_uv;
uniform sampler2D u_texture;
out vec4 o_color;
void main() { o_color = vec4(texture(u_texture, v_uv).rgb, 1.0); }
)";

GLuint Compile(GLenum type, const char* src, std::string* error) {
    GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        if (error) *error = std::string("shader does not compile: ") + log;
        glDeleteShader(s);
        return 0;
    }
    return s;
}

GLuint LinkShaders(GLuint v, GLuint f, std::string* error) {
    if (!f) {
        if (v) glDeleteShader(v);
        return 0;
    }
    GLuint p = glCreateProgram();
    glAttachShader(p, v);
    glAttachShader(p, f);
    glLinkProgram(p);
    glDeleteShader(v);
    glDeleteShader(f);
    GLint ok = 0;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    if (!ok) {
        if (error) *error = "shader program does not link";
        glDeleteProgram(p);
        return 0;
    }
    return p;
}

GLuint Link(const char* vs, const char* fs, std::string* error) {
    const GLuint v = Compile(GL_VERTEX_SHADER, vs, error);
    return LinkShaders(v, v ? Compile(GL_FRAGMENT_SHADER, fs, error) : 0, error);
}

}  // namespace

// One variant of the lighting shader: its texts after the version and the variant's
// definitions.
unsigned LinkLighting(bool flat, bool shiny, bool oneLight, std::string* error) {
    const std::string head = std::string("#version 330 core\n") + (flat ? "#define FLAT 1\n" : "") +
                             (shiny ? "#define SHINY 1\n" : "") + (oneLight ? "#define ONE_LIGHT 1\n" : "");
    const std::string vs = head + kVertexShader, fs = head + kFragmentShader;
    return Link(vs.c_str(), fs.c_str(), error);
}

unsigned LinkBackground(std::string* error) { return Link(kBackgroundVertex, kBackgroundFragment, error); }

}  // namespace platform::rm::shaders
