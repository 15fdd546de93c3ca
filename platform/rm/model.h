// Model files of every form the saver reads: X files, glTF 2.0 (.gltf and .glb),
// Wavefront OBJ with its MTL, and STL (ASCII and binary), told apart by their
// content. Each loader takes the file's bytes and returns the same plain MeshData
// as the X loader, in the retained mode's left-handed axes with clockwise front
// faces; files the model names (a .bin, an .mtl, pictures) are read through a
// ModelFiles, which never leaves the model's folder. No GL, no globals.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/rm/xfile.h"

namespace platform::rm {

enum class ModelFormat { kX, kGltf, kGlb, kObj, kStl, kUnknown };

// The form of a model file by its first bytes (and, for STL, its size).
ModelFormat SniffModel(std::span<const uint8_t> data);

// The files a model names beside itself.
class ModelFiles {
public:
    virtual ~ModelFiles() = default;
    // The bytes of the file the model calls name; false with a reason when there is
    // none or it cannot be read.
    virtual bool Read(const std::string& name, std::vector<uint8_t>& out, std::string& error) = 0;
};

// Files under one folder, found as texture names are (FindBesideModel): any case,
// either separator, never above the folder.
class FolderFiles : public ModelFiles {
public:
    explicit FolderFiles(std::string dir) : dir_(std::move(dir)) {}
    bool Read(const std::string& name, std::vector<uint8_t>& out, std::string& error) override;
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
};

// No files at all: a model read from memory alone.
class NoFiles : public ModelFiles {
public:
    bool Read(const std::string& name, std::vector<uint8_t>&, std::string& error) override {
        error = name + " not found";
        return false;
    }
};

struct ModelInfo {
    std::string format;  // "X txt", "X bin", "X tzip", "X bzip", "glTF", "glb", "OBJ", "STL ascii", "STL binary"
    int meshes = 0;      // meshes (X), primitives drawn (glTF), objects (OBJ), solids (STL)
    int float_bits = 32; // X files only
};

// Reads any model form into out; false with a one-line reason, out then empty.
bool ParseModel(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error,
                ModelInfo* info = nullptr);
// The same with the file's bytes handed over: they are freed as soon as the reader
// has taken what it needs, which lowers the peak memory of a large model.
bool ParseModel(std::vector<uint8_t>&& data, ModelFiles& files, MeshData& out, std::string& error,
                ModelInfo* info = nullptr);

bool ParseStl(std::span<const uint8_t> data, MeshData& out, std::string& error, ModelInfo* info = nullptr);
// owner, when given, holds data and is emptied once the reader no longer needs it.
bool ParseObj(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error,
              ModelInfo* info = nullptr, std::vector<uint8_t>* owner = nullptr);
bool ParseGltf(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error,
               ModelInfo* info = nullptr, std::vector<uint8_t>* owner = nullptr);

// The largest number of triangles a model may have: far more than a screen saver
// draws, and small enough that every count derived from it fits in 32 bits.
inline constexpr uint64_t kMaxModelTriangles = uint64_t(1) << 26;

}  // namespace platform::rm
