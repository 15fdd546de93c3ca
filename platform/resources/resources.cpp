// Finds the embedded resources by type and name, without regard to case, the way the
// Windows resource look-up treats names given as text.
#include "platform/resources/resources.h"

#include <vector>

#include "platform/resources/resource_table.h"

namespace platform {
namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

// Built on first use, so the look-up costs nothing before a resource is wanted.
const std::vector<ResourceInfo>& Table() {
    static const std::vector<ResourceInfo> table = [] {
        std::vector<ResourceInfo> rows;
        for (const embedded::TableRow* row = embedded::kTable; row->type != nullptr; ++row) {
            rows.push_back({row->type,
                            row->name,
                            {reinterpret_cast<const std::byte*>(row->data), *row->size}});
        }
        return rows;
    }();
    return table;
}

}  // namespace

std::optional<std::span<const std::byte>> FindResource(std::string_view type,
                                                       std::string_view name) {
    // Windows reads "#101" as the numeric identifier 101.
    if (name.size() > 1 && name.front() == '#') name.remove_prefix(1);
    for (const ResourceInfo& info : Table()) {
        if (SameName(info.type, type) && SameName(info.name, name)) return info.bytes;
    }
    return std::nullopt;
}

std::span<const ResourceInfo> AllResources() {
    return Table();
}

}  // namespace platform
