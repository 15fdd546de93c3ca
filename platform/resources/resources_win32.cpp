// The program's resources on Windows: the module's own, compiled in by windres and
// found with FindResource. The interface hands out a bitmap as a whole BMP file and the
// icon as its PNG picture, so those two are rebuilt once from what the module keeps (a
// bitmap resource has no file header; an icon is a group that names its images).
#include "platform/resources/resources.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/resources/resource_table.h"
#include "platform/win32_api.h"

namespace platform {
namespace {

std::span<const std::byte> ModuleBytes(LPCWSTR type, LPCWSTR name) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, name, type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, found);
    if (!data || size == 0) return {};
    return {static_cast<const std::byte*>(data), size};
}

std::uint32_t Read32(const std::byte* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
std::uint16_t Read16(const std::byte* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// The offset of the pixels in a BMP file whose header and colour table are the
// resource's bytes; 0 when those bytes are no bitmap.
std::uint32_t PixelOffset(std::span<const std::byte> dib) {
    if (dib.size() < 12) return 0;
    const std::uint32_t headerSize = Read32(dib.data());
    std::uint64_t table = 0;
    if (headerSize == 12) {  // BITMAPCOREHEADER: three bytes a colour
        const std::uint16_t bits = Read16(dib.data() + 10);
        if (bits <= 8) table = 3ull << bits;
    } else if (headerSize >= 40 && dib.size() >= 40) {
        const std::uint16_t bits = Read16(dib.data() + 14);
        const std::uint32_t compression = Read32(dib.data() + 16);
        const std::uint32_t used = Read32(dib.data() + 32);
        const std::uint64_t colours = used != 0 ? used : (bits <= 8 ? (1ull << bits) : 0);
        table = colours * 4;
        // The three masks follow a 40-byte header; larger headers hold them.
        if (headerSize == 40 && (compression == 3 || compression == 6)) table += compression == 3 ? 12 : 16;
    } else {
        return 0;
    }
    const std::uint64_t offset = 14 + headerSize + table;
    if (offset > 14 + dib.size()) return 0;
    return static_cast<std::uint32_t>(offset);
}

// A BMP file of a bitmap resource: the 14-byte file header, then the resource.
std::vector<std::byte> BitmapFile(std::span<const std::byte> dib) {
    const std::uint32_t offset = PixelOffset(dib);
    if (offset == 0) return {};
    std::vector<std::byte> file(14 + dib.size());
    const std::uint32_t size = static_cast<std::uint32_t>(file.size());
    file[0] = std::byte{'B'};
    file[1] = std::byte{'M'};
    std::memcpy(file.data() + 2, &size, 4);
    std::memcpy(file.data() + 10, &offset, 4);
    std::memcpy(file.data() + 14, dib.data(), dib.size());
    return file;
}

// The first image of an icon group: for ours, the PNG picture itself.
std::span<const std::byte> IconImage(LPCWSTR name) {
    const std::span<const std::byte> group = ModuleBytes(MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, name);
    // GRPICONDIR: reserved, type 1, count; then 14-byte entries ending in the image's id.
    if (group.size() < 6 + 14 || Read16(group.data() + 2) != 1 || Read16(group.data() + 4) == 0) {
        return {};
    }
    const std::uint16_t id = Read16(group.data() + 6 + 12);
    return ModuleBytes(MAKEINTRESOURCEW(3) /* RT_ICON */, MAKEINTRESOURCEW(id));
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
        if (up(a[i]) != up(b[i])) return false;
    }
    return true;
}

struct Table {
    std::vector<ResourceInfo> rows;
    std::vector<std::unique_ptr<std::vector<std::byte>>> rebuilt;  // bitmap files
};

std::wstring Wide(const char* ascii) {
    std::wstring out;
    for (const char* p = ascii; *p; ++p) out.push_back(static_cast<wchar_t>(*p));
    return out;
}

// Every resource, its bytes found once, on first use.
const Table& Resources() {
    static const Table table = [] {
        Table t;
        for (const embedded::NameRow* row = embedded::kNames; row->type != nullptr; ++row) {
            const std::string_view type = row->type;
            std::span<const std::byte> bytes;
            if (type == kResourceIcon) {
                bytes = IconImage(MAKEINTRESOURCEW(std::stoi(row->name)));
            } else if (type == kResourceBitmap) {
                auto file = std::make_unique<std::vector<std::byte>>(
                    BitmapFile(ModuleBytes(MAKEINTRESOURCEW(2) /* RT_BITMAP */, Wide(row->name).c_str())));
                bytes = *file;
                t.rebuilt.push_back(std::move(file));
            } else {
                bytes = ModuleBytes(Wide(row->type).c_str(), Wide(row->name).c_str());
            }
            // A resource the module lacks (a program built without the resource script)
            // is not listed at all.
            if (!bytes.empty()) t.rows.push_back({row->type, row->name, bytes});
        }
        return t;
    }();
    return table;
}

}  // namespace

std::optional<std::span<const std::byte>> FindResource(std::string_view type, std::string_view name) {
    if (name.size() > 1 && name.front() == '#') name.remove_prefix(1);
    for (const ResourceInfo& info : Resources().rows) {
        if (SameName(info.type, type) && SameName(info.name, name)) return info.bytes;
    }
    return std::nullopt;
}

std::span<const ResourceInfo> AllResources() { return Resources().rows; }

}  // namespace platform
