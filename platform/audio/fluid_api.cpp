// Opens the synthesiser library with dlopen and fills the function table from it.
#include "platform/audio/fluid_api.h"

#include <dlfcn.h>

#include <mutex>

#include "platform/report/report.h"

#ifndef ORBSAVER_FLUIDSYNTH_SONAME
#error "ORBSAVER_FLUIDSYNTH_SONAME must name the synthesiser library"
#endif

namespace platform {

const char* FluidLibraryName() { return ORBSAVER_FLUIDSYNTH_SONAME; }

bool LoadFluidApi(const char* library, FluidApi* api, std::string* reason) {
    // Local: the library's names must not take the place of any other library's.
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        *reason = why ? why : std::string(library) + ": cannot be opened";
        return false;
    }
    FluidApi loaded;
    bool complete = true;
#define ORBSAVER_FLUID_FIND(name)                                                           \
    if (complete) {                                                                        \
        loaded.name = reinterpret_cast<decltype(loaded.name)>(dlsym(handle, #name));       \
        if (!loaded.name) {                                                                \
            *reason = std::string(library) + " has no " #name;                             \
            complete = false;                                                              \
        }                                                                                  \
    }
    ORBSAVER_FLUID_FUNCTIONS(ORBSAVER_FLUID_FIND)
#undef ORBSAVER_FLUID_FIND
    if (!complete) {
        dlclose(handle);
        return false;
    }
    // Kept open for the life of the program: the synthesisers made with it live as long.
    *api = loaded;
    return true;
}

const FluidApi* Fluid() {
    static FluidApi api;
    static const FluidApi* loaded = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        std::string reason;
        if (LoadFluidApi(FluidLibraryName(), &api, &reason))
            loaded = &api;
        else
            Report("orbsaver: cannot load the synthesiser: " + reason);
    });
    return loaded;
}

}  // namespace platform
