// What every registry shares: the memory registry, and the user's registry of the
// target (platform/backends.h), which a test may replace.
#include "platform/registry/registry.h"

#include <cstdint>

#include "platform/backends.h"
#include "platform/registry/document_key.h"

namespace platform {

using registry_detail::DocumentKey;
using registry_detail::FindOrAdd;
using registry_detail::kCurrentUser;

std::unique_ptr<RegistryKey> MemoryRegistry::CreateKey(std::string_view subKey,
                                                       KeyDisposition* disposition) {
    bool created = false;
    const std::size_t i =
        FindOrAdd(document, std::string(kCurrentUser) + std::string(subKey), true, &created);
    if (disposition) {
        *disposition = created ? KeyDisposition::kCreatedNew : KeyDisposition::kOpenedExisting;
    }
    return std::make_unique<DocumentKey>(document, i);
}

std::unique_ptr<RegistryKey> MemoryRegistry::OpenKey(std::string_view subKey) {
    bool created = false;
    const std::size_t i =
        FindOrAdd(document, std::string(kCurrentUser) + std::string(subKey), false, &created);
    if (i == SIZE_MAX) return nullptr;
    return std::make_unique<DocumentKey>(document, i);
}

namespace {
Registry* g_override = nullptr;
}

Registry& UserRegistry() {
    if (g_override) return *g_override;
    static const std::unique_ptr<Registry> registry = CreateDefaultUserRegistry();
    return *registry;
}

void SetUserRegistry(Registry* registry) { g_override = registry; }

}  // namespace platform
