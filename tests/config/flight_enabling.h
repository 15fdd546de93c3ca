// The flight's controls in the order the enabling tests write them, and their enabling
// as one text to compare, whatever backend answers for a control.
#pragma once
#include <string>

#include "config/config_dialog.h"

namespace config {

// SET INSERT DELETE frames ^ v SAVE LOAD BACK FORWARD.
inline constexpr int kFlightControls[] = {kSet,  kInsert, kDelete, kFramesEdit, kNextTable,
                                          kPreviousTable, kSave, kLoad, kBack, kForward};

// "1" for each control of kFlightControls that `enabled(id)` says is enabled, else "0".
template <class Enabled>
std::string FlightEnabling(Enabled enabled) {
    std::string out;
    for (int id : kFlightControls) out += enabled(id) ? '1' : '0';
    return out;
}

}  // namespace config
