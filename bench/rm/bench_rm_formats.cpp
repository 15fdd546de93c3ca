// Loading the model forms people have today, against Assimp on the same bytes: a
// generated .glb and a generated OBJ of about 10 MB each (positions, normals and
// texture coordinates of a wavy grid). CPU time of bytes in memory to a mesh in
// memory; and the peak memory of loading each from its file, beside the file's size.
#include "bench/rm/bench_rm_formats.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/rm/mesh_builder.h"
#include "platform/rm/model.h"
#include "tests/platform_rm/model_files.h"

namespace rm = platform::rm;

namespace bench_rm {

namespace {

using rm_test::Bytes;

float Height(int i, int j) { return float(std::sin(i * 0.1) * std::cos(j * 0.07)); }

using rm_test::Put;

// An n x n grid as a .glb: one mesh, positions, normals, texture coordinates and
// 32-bit indices in the BIN chunk.
Bytes GlbGrid(int n) {
    Bytes bin;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) Put(bin, i * 0.01f), Put(bin, Height(i, j)), Put(bin, j * 0.01f);
    const size_t normals = bin.size();
    for (int k = 0; k < n * n; ++k) Put(bin, 0.1f), Put(bin, 0.9f), Put(bin, -0.1f);
    const size_t uvs = bin.size();
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) Put(bin, i / float(n)), Put(bin, j / float(n));
    const size_t indices = bin.size();
    for (int i = 0; i + 1 < n; ++i)
        for (int j = 0; j + 1 < n; ++j) {
            const uint32_t a = uint32_t(i * n + j);
            for (uint32_t v : {a, a + 1, a + uint32_t(n) + 1, a, a + uint32_t(n) + 1, a + uint32_t(n)}) Put(bin, v);
        }
    const size_t count = size_t(n) * n, index_count = size_t(n - 1) * (n - 1) * 6;
    const auto view = [&](size_t offset, size_t length) {
        return "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) + ",\"byteLength\":" + std::to_string(length) + "}";
    };
    std::string json = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
                       R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},"indices":3}]}],)"
                       R"("accessors":[{"bufferView":0,"componentType":5126,"type":"VEC3","count":)" +
                       std::to_string(count) + R"(,"min":[0,-1,0],"max":[10,1,10]},{"bufferView":1,"componentType":5126,"type":"VEC3","count":)" +
                       std::to_string(count) + R"(},{"bufferView":2,"componentType":5126,"type":"VEC2","count":)" +
                       std::to_string(count) + R"(},{"bufferView":3,"componentType":5125,"type":"SCALAR","count":)" +
                       std::to_string(index_count) + "}],\"bufferViews\":[" + view(0, normals) + "," +
                       view(normals, uvs - normals) + "," + view(uvs, indices - uvs) + "," +
                       view(indices, bin.size() - indices) + "],\"buffers\":[{\"byteLength\":" +
                       std::to_string(bin.size()) + "}]}";
    return rm_test::Glb(json, bin);
}

// The same grid as an OBJ, the way exporters write it: v, vt, vn, then quads.
Bytes ObjGrid(int n) {
    std::string s = "# grid\no grid\n";
    char buf[160];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            std::snprintf(buf, sizeof buf, "v %.6f %.6f %.6f\n", i * 0.01f, Height(i, j), j * 0.01f);
            s += buf;
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            std::snprintf(buf, sizeof buf, "vt %.6f %.6f\n", i / float(n), j / float(n));
            s += buf;
        }
    for (int k = 0; k < n * n; ++k) s += "vn 0.110432 0.993884 -0.110432\n";
    for (int i = 0; i + 1 < n; ++i)
        for (int j = 0; j + 1 < n; ++j) {
            const int a = i * n + j + 1;
            std::snprintf(buf, sizeof buf, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, a + 1, a + 1, a + 1,
                          a + n + 1, a + n + 1, a + n + 1, a + n, a + n, a + n);
            s += buf;
        }
    return Bytes(s.begin(), s.end());
}

struct Model {
    std::string name;
    std::string hint;  // Assimp's extension hint
    Bytes bytes;
};

std::vector<Model>& Models() {
    static std::vector<Model> models;
    return models;
}

void BM_Ours(benchmark::State& state, const Model* m) {
    for (auto _ : state) {
        rm::MeshData mesh;
        rm::NoFiles files;
        std::string err;
        if (!rm::ParseModel(m->bytes, files, mesh, err)) state.SkipWithError(err.c_str());
        benchmark::DoNotOptimize(mesh.positions.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(m->bytes.size()));
}

void BM_Assimp(benchmark::State& state, const Model* m) {
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFileFromMemory(m->bytes.data(), m->bytes.size(), 0, m->hint.c_str());
        if (!scene || scene->mNumMeshes == 0) state.SkipWithError("Assimp could not read the file");
        benchmark::DoNotOptimize(scene);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(m->bytes.size()));
}

long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

// Peak resident memory above the start while load() runs, in MB; -1 when the peak
// counter cannot be reset here.
template <class Load>
double PeakMb(Load load) {
    malloc_trim(0);  // what earlier loads freed goes back, so this load's pages count
    std::ofstream("/proc/self/clear_refs") << "5";
    const long base = StatusKb("VmRSS:"), before = StatusKb("VmHWM:");
    if (before > base + 1024) return -1;
    load();
    return double(StatusKb("VmHWM:") - base) / 1024 * 1.048576;
}

}  // namespace

void MakeModels() {
    if (!Models().empty()) return;
    Models().push_back({"glb_grid", "glb", GlbGrid(420)});
    Models().push_back({"obj_grid", "obj", ObjGrid(250)});
}

void RegisterFormatBenchmarks() {
    MakeModels();
    for (const Model& m : Models()) {
        const std::string size = std::to_string(int(m.bytes.size() / 1e5) / 10) + "." +
                                 std::to_string(int(m.bytes.size() / 1e5) % 10) + "MB";
        benchmark::RegisterBenchmark(("formats/ours/" + m.name + "_" + size).c_str(), BM_Ours, &m)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("formats/assimp/" + m.name + "_" + size).c_str(), BM_Assimp, &m)
            ->Unit(benchmark::kMillisecond);
    }
}

void PrintFormatSummary(const std::map<std::string, double>& seconds) {
    for (const Model& m : Models()) {
        const double mb = double(m.bytes.size()) / 1e6;
        double ours = 0, theirs = 0;
        for (const auto& [name, s] : seconds) {
            if (name.rfind("formats/ours/" + m.name + "_", 0) == 0) ours = s;
            if (name.rfind("formats/assimp/" + m.name + "_", 0) == 0) theirs = s;
        }
        if (ours <= 0 || theirs <= 0) continue;
        std::printf("  %-28s %6.2f MB  ours %8.1f MB/s  assimp %8.1f MB/s  ratio %5.2f\n", m.name.c_str(), mb,
                    mb / ours, mb / theirs, theirs / ours);
    }
}

void PrintFormatPeakMemory() {
    MakeModels();
    for (const Model& m : Models()) {
        const std::string path = (std::filesystem::temp_directory_path() / ("bench_rm_" + m.name + "." + m.hint)).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(m.bytes.data()), std::streamsize(m.bytes.size()));
        const double mb = double(m.bytes.size()) / 1e6;
        const double ours = PeakMb([&] {
            auto b = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
            std::string err;
            if (!b->Load(path, &err)) std::printf("  %s: load failed: %s\n", m.name.c_str(), err.c_str());
        });
        const double theirs = PeakMb([&] {
            Assimp::Importer importer;
            benchmark::DoNotOptimize(importer.ReadFile(path, 0));
        });
        std::filesystem::remove(path);
        if (ours < 0 || theirs < 0) {
            std::printf("  peak memory: cannot reset the peak counter here; not measured\n");
            return;
        }
        std::printf("  peak memory loading the %.1f MB %s file: ours %.1f MB (%.2f times the file), assimp %.1f MB (%.2f)\n",
                    mb, m.hint.c_str(), ours, ours / mb, theirs, theirs / mb);
    }
}


}  // namespace bench_rm
