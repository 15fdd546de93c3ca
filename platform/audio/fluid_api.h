// The synthesiser library, opened the first time the music needs it rather than when
// the program starts: linking it would load it and the sixty libraries it depends on
// (sound servers, file formats, a line editor) into every run, though most runs never
// play music. Each function keeps the library's own name and type.
#pragma once

#include <fluidsynth.h>

#include <string>

namespace platform {

#define ORBSAVER_FLUID_FUNCTIONS(X)                                                        \
    X(delete_fluid_player)                                                                 \
    X(delete_fluid_settings)                                                               \
    X(delete_fluid_synth)                                                                  \
    X(fluid_is_soundfont)                                                                  \
    X(fluid_player_add_mem)                                                                \
    X(fluid_player_get_current_tick)                                                       \
    X(fluid_player_get_status)                                                             \
    X(fluid_player_get_total_ticks)                                                        \
    X(fluid_player_play)                                                                   \
    X(fluid_player_stop)                                                                   \
    X(fluid_set_log_function)                                                              \
    X(fluid_settings_getstr_default)                                                       \
    X(fluid_settings_setnum)                                                               \
    X(fluid_settings_setstr)                                                               \
    X(fluid_synth_all_notes_off)                                                           \
    X(fluid_synth_all_sounds_off)                                                          \
    X(fluid_synth_get_active_voice_count)                                                  \
    X(fluid_synth_sfload)                                                                  \
    X(fluid_synth_write_float)                                                             \
    X(new_fluid_player)                                                                    \
    X(new_fluid_settings)                                                                  \
    X(new_fluid_synth)

struct FluidApi {
#define ORBSAVER_FLUID_MEMBER(name) decltype(&::name) name = nullptr;
    ORBSAVER_FLUID_FUNCTIONS(ORBSAVER_FLUID_MEMBER)
#undef ORBSAVER_FLUID_MEMBER
};

// The library the program was built with (its soname).
const char* FluidLibraryName();

// Opens the library by name and finds every function. False, with the reason in
// *reason, when the library is missing or lacks one of them; nothing is kept open then.
bool LoadFluidApi(const char* library, FluidApi* api, std::string* reason);

// The program's one copy, loaded on first use. Null when the library cannot be loaded;
// the reason is reported once, as "orbsaver: cannot load the synthesiser: REASON".
const FluidApi* Fluid();

}  // namespace platform
