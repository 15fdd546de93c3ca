// The step table editor: the dialog's SET, BACK, FORWARD, INSERT, DELETE, ^ and v,
// the frames box and the switch that plays the flight. The values come from and go
// to the first page's controls and the settings; each navigation shows its row in
// the preview at once. Table 0, the built-in flight, can be looked at, not changed.
#pragma once

#include <cstdint>
#include <string_view>

#include "settings/scene_settings.h"

namespace config {

// The row being edited: row currentStepRow of table AN_NUM, each kept to its range.
settings::StepRow& CurrentStepRow(settings::SceneSettings& s);
const settings::StepRow& CurrentStepRow(const settings::SceneSettings& s);

// The frames box read as an unsigned number: 0 when it holds no number.
std::uint32_t ReadUnsigned(std::string_view text);

// Runs the editor's handler for a control of the dialog; false for other ids.
bool StepEditorCommand(int id, int code);

}  // namespace config
