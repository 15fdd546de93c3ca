// Model files for the loaders' tests and benchmarks: the files a model names, kept
// in memory, and small helpers to build glTF bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/rm/model.h"

namespace rm_test {

using Bytes = std::vector<uint8_t>;

inline Bytes FromText(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Files by name; every name asked for is remembered.
class MapFiles : public platform::rm::ModelFiles {
public:
    bool Read(const std::string& name, std::vector<uint8_t>& out, std::string& error) override {
        asked.push_back(name);
        const auto it = files.find(name);
        if (it == files.end()) {
            error = name + " not found";
            return false;
        }
        out = it->second;
        return true;
    }
    std::map<std::string, Bytes> files;
    std::vector<std::string> asked;
};

inline std::string Base64(const Bytes& b) {
    static const char* const k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s;
    for (size_t i = 0; i < b.size(); i += 3) {
        const uint32_t v = uint32_t(b[i]) << 16 | (i + 1 < b.size() ? uint32_t(b[i + 1]) << 8 : 0) |
                           (i + 2 < b.size() ? b[i + 2] : 0);
        s += k[v >> 18];
        s += k[(v >> 12) & 63];
        s += i + 1 < b.size() ? k[(v >> 6) & 63] : '=';
        s += i + 2 < b.size() ? k[v & 63] : '=';
    }
    return s;
}

template <class T>
void Put(Bytes& b, T v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    b.insert(b.end(), p, p + sizeof v);
}

// A .glb: the header, the JSON chunk (padded with spaces) and the BIN chunk.
inline Bytes Glb(std::string json, const Bytes& bin) {
    while (json.size() % 4) json += ' ';
    Bytes b = FromText("glTF");
    Put(b, uint32_t(2));
    Put(b, uint32_t(12 + 8 + json.size() + 8 + bin.size()));
    Put(b, uint32_t(json.size()));
    Put(b, uint32_t(0x4E4F534A));
    b.insert(b.end(), json.begin(), json.end());
    Put(b, uint32_t(bin.size()));
    Put(b, uint32_t(0x004E4942));
    b.insert(b.end(), bin.begin(), bin.end());
    return b;
}

}  // namespace rm_test
