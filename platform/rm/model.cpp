// Telling model files apart by their content, and reading the one found.
#include "platform/rm/model.h"

#include <cstring>

#include "platform/rm/mesh_builder.h"

namespace platform::rm {

bool LooksLikeBinaryStl(std::span<const uint8_t> d);

namespace {

bool StartsWith(std::span<const uint8_t> d, size_t at, const char* s) {
    const size_t n = std::strlen(s);
    return d.size() >= at + n && std::memcmp(d.data() + at, s, n) == 0;
}

// The first word of the first line that is neither empty nor a comment.
std::string FirstWord(std::span<const uint8_t> d, size_t p) {
    while (p < d.size()) {
        while (p < d.size() && (d[p] == ' ' || d[p] == '\t' || d[p] == '\r' || d[p] == '\n')) ++p;
        if (p < d.size() && d[p] == '#') {
            while (p < d.size() && d[p] != '\n') ++p;
            continue;
        }
        break;
    }
    std::string word;
    while (p < d.size() && d[p] > ' ' && word.size() < 16) word += char(d[p++]);
    return word;
}

// A header of text or zero bytes, as STL writers leave it.
bool TextHeader(std::span<const uint8_t> d) {
    if (d.size() < 84) return false;
    for (size_t i = 0; i < 80; ++i)
        if (d[i] != 0 && d[i] != '\t' && d[i] != '\r' && d[i] != '\n' && (d[i] < 0x20 || d[i] > 0x7e)) return false;
    return true;
}

}  // namespace

ModelFormat SniffModel(std::span<const uint8_t> d) {
    if (StartsWith(d, 0, "xof ")) return ModelFormat::kX;
    if (StartsWith(d, 0, "glTF")) return ModelFormat::kGlb;
    // A binary STL whose header starts with "solid" is told by its exact size.
    if (LooksLikeBinaryStl(d)) return ModelFormat::kStl;
    size_t p = StartsWith(d, 0, "\xEF\xBB\xBF") ? 3 : 0;
    while (p < d.size() && (d[p] == ' ' || d[p] == '\t' || d[p] == '\r' || d[p] == '\n')) ++p;
    if (p < d.size() && d[p] == '{') return ModelFormat::kGltf;
    if (StartsWith(d, p, "solid")) return ModelFormat::kStl;
    static const char* const kObjWords[] = {"v", "vt", "vn", "vp", "f", "l", "p", "o", "g", "s", "mtllib", "usemtl"};
    const std::string word = FirstWord(d, p);
    for (const char* w : kObjWords)
        if (word == w) return ModelFormat::kObj;
    // A binary STL whose triangle count does not match its size still looks like one.
    if (TextHeader(d)) return ModelFormat::kStl;
    return ModelFormat::kUnknown;
}

bool FolderFiles::Read(const std::string& name, std::vector<uint8_t>& out, std::string& error) {
    const std::string path = FindBesideModel(dir_, name);
    if (path.empty()) {
        error = name + " not found";
        return false;
    }
    if (!ReadFileBytes(path, out, error)) {
        error = name + ": " + error;
        return false;
    }
    return true;
}

namespace {

// An X file's account in the model's terms, once it has loaded.
bool TellX(bool loaded, const XFileInfo& x, ModelInfo* info) {
    if (loaded && info) {
        info->format = "X " + x.format;
        info->meshes = x.meshes;
        info->float_bits = x.float_bits;
    }
    return loaded;
}

}  // namespace

bool ParseModel(std::vector<uint8_t>&& data, ModelFiles& files, MeshData& out, std::string& error,
                ModelInfo* info) {
    std::vector<uint8_t> bytes = std::move(data);
    switch (SniffModel(bytes)) {
    case ModelFormat::kX: {
        // The file's bytes are given back as they are read.
        XFileInfo x;
        return TellX(ParseXFileConsuming(bytes, out, error, &x), x, info);
    }
    case ModelFormat::kGltf:
    case ModelFormat::kGlb:
        return ParseGltf(bytes, files, out, error, info, &bytes);
    case ModelFormat::kObj:
        return ParseObj(bytes, files, out, error, info, &bytes);
    default:
        return ParseModel(std::span<const uint8_t>(bytes), files, out, error, info);
    }
}

bool ParseModel(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error,
                ModelInfo* info) {
    switch (SniffModel(data)) {
    case ModelFormat::kX: {
        XFileInfo x;
        return TellX(ParseXFile(data, out, error, &x), x, info);
    }
    case ModelFormat::kGltf:
    case ModelFormat::kGlb:
        return ParseGltf(data, files, out, error, info);
    case ModelFormat::kObj:
        return ParseObj(data, files, out, error, info);
    case ModelFormat::kStl:
        return ParseStl(data, out, error, info);
    case ModelFormat::kUnknown:
        break;
    }
    out.Clear();
    error = data.empty() ? "empty file" : "not a model file this program reads (X, glTF, OBJ or STL)";
    return false;
}

}  // namespace platform::rm
