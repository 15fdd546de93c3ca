// The media and background page: its check boxes and radio buttons, its choosers,
// the music it plays, and what each click does to the preview.
#include "config/page_media.h"

#include <string>

#include "config/bitmap_face.h"
#include "config/config_dialog.h"
#include "config/dialog_text.h"
#include "engine/device.h"
#include "engine/frame.h"
#include "engine/scene.h"
#include "sound/sound.h"

namespace config {

using namespace platform;
using settings::SceneSettings;

namespace {

constexpr const char* kTitle = "orbsaver";

// The hidden controls stand outside the page, where nobody reaches them.
constexpr Rect kOutside{235, 500, 16, 16};

constexpr CheckSetting kChecks[] = {
    {kDither, &SceneSettings::DITHER, {190, 42, 16, 16}, Toggle::kOnOff, false},
    {kAntialias, &SceneSettings::ALIAS, kOutside, Toggle::kOnOff, false},
    {kUseImage, &SceneSettings::USE_I, {80, 118, 16, 16}, Toggle::kUseImage, false},
    {kSoundOn, &SceneSettings::S_ON, {80, 185, 16, 16}, Toggle::kOnOff, true},
    {kMidiOn, &SceneSettings::M_ON, {80, 211, 16, 16}, Toggle::kOnOff, true},
    {kOriginal, &SceneSettings::ORIG, {80, 259, 16, 16}, Toggle::kOnOff, true},
    {kFpsOn, &SceneSettings::FPS, {80, 306, 15, 16}, Toggle::kOnOff, true},
    {kMakerOn, &SceneSettings::CPR, {204, 306, 15, 16}, Toggle::kOnOff, true},
};

struct Placed {
    int id;
    ControlKind kind;
    Rect rect;
    std::uint32_t style;
};

constexpr Placed kOthers[] = {
    {kFlat, ControlKind::kRadioButton, {80, 31, 16, 16}, kStyleGroup},
    {kGouraud, ControlKind::kRadioButton, {80, 54, 16, 16}, 0},
    {kNearestTexture, ControlKind::kRadioButton, kOutside, kStyleGroup},
    {kLinearTexture, ControlKind::kRadioButton, kOutside, 0},
    {kColorButton, ControlKind::kButton, {213, 92, 62, 32}, 0},
    {kImageButton, ControlKind::kButton, {213, 124, 62, 32}, 0},
    {kMidiButton, ControlKind::kButton, {213, 192, 62, 32}, 0},
    {kTextureButton, ControlKind::kButton, {193, 248, 82, 32}, 0},
};

constexpr FaceStem kFaces[] = {{kMidiButton, "MIDI_"},
                               {kTextureButton, "TEXT_"},
                               {kColorButton, "COLOR_"},
                               {kImageButton, "IMAGE_"}};

constexpr std::int32_t kFlatQuality = 0x88, kGouraudQuality = 0x89;

const CheckSetting* FindCheck(int id) {
    for (const CheckSetting& c : kChecks) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

void PlaceAll(WindowHandle page) {
    DialogBackend& d = Dialogs();
    for (const CheckSetting& c : kChecks) d.MoveControl(page, c.id, c.rect);
    for (const Placed& p : kOthers) d.MoveControl(page, p.id, p.rect);
}

void Create(WindowHandle page) {
    DialogBackend& d = Dialogs();
    // The radio buttons first, in their groups' order.
    for (const Placed& p : kOthers) d.CreateControl(page, p.id, p.kind, p.rect, p.style);
    for (const CheckSetting& c : kChecks) d.CreateControl(page, c.id, ControlKind::kCheckBox, c.rect, 0);
    for (int id : {kNearestTexture, kLinearTexture, kAntialias}) d.ShowControl(page, id, false);
}

// Music is never opened twice: an open device stays open, playing as it was.
void StartMusic(WindowHandle page) {
    std::uint32_t& device = sound::MusicDevice();
    if (device != 0) return;
    device = sound::OpenMusic(settings::Settings().MIDI_NM);
    if (device != 0) sound::PlayMusic(device, page);
}

void Refresh(WindowHandle page) {
    DialogBackend& d = Dialogs();
    const SceneSettings& s = settings::Settings();
    // 1.
    d.MoveDialog(page, Rect{kPageRect.x, kPageRect.y + kTabHeight, kPageRect.width, kPageRect.height});
    // 2. A model in its own look needs no texture file.
    for (int id : {kFpsOn, kMakerOn, kTextureButton, kOriginal}) d.EnableControl(page, id, true);
    d.EnableControl(page, kTextureButton, s.ORIG != 1);
    // 3. A colour or a picture behind the scene.
    d.EnableControl(page, kColorButton, s.USE_I == 0);
    d.EnableControl(page, kImageButton, s.USE_I != 0);
    // 4. The music plays while it is on.
    if (s.M_ON == 1) {
        d.EnableControl(page, kMidiButton, true);
        StartMusic(page);
    } else {
        d.EnableControl(page, kMidiButton, false);
    }
    // 5. The boxes show their settings.
    for (const CheckSetting& c : kChecks) d.SetCheck(page, c.id, CheckedState(c, s.*c.setting));
    // 6. The shading: any of the shade bits is Gouraud.
    d.SetCheck(page, (s.REN_Q & 7) != 0 ? kGouraud : kFlat, 1);
    // 7.
    PlaceAll(page);
}

void SetQuality(std::int32_t quality) {
    SceneSettings& s = settings::Settings();
    engine::RenderDevice& device = engine::Device();
    s.REN_Q = quality;
    device.renderQuality = static_cast<std::uint32_t>(quality);
    if (device.rmDevice) device.rmDevice->SetQuality(static_cast<std::uint32_t>(quality));
}

void SetTextureQuality(std::int32_t quality) {
    engine::RenderDevice& device = engine::Device();
    settings::Settings().TEX_Q = quality;
    device.textureQuality = static_cast<std::uint32_t>(quality);
    if (device.rmDevice) {
        device.rmDevice->SetTextureQuality(static_cast<platform::rm::TextureQuality>(quality));
    }
}

void ShowBackground() {
    const SceneSettings& s = settings::Settings();
    engine::Scene& scene = engine::TheScene();
    if (!scene.SceneFrame) return;
    if (s.USE_I == 1) {
        scene.SceneFrame->SetSceneBackgroundImage(scene.BackgroundTexture);
        scene.SceneFrame->SetSceneBackgroundRGB(0, 0, 0);
    } else {
        scene.SceneFrame->SetSceneBackgroundImage(nullptr);
        float r, g, b;
        engine::BackgroundColour(s.COLOR, &r, &g, &b);
        scene.SceneFrame->SetSceneBackgroundRGB(r, g, b);
    }
}

// Without a preview there is no scene to make again: the settings alone change.
void RebuildScene(WindowHandle page) {
    if (!engine::TheScene().SceneFrame) return;
    Dialogs().SetWaitCursor(page, true);
    engine::ReleaseScene();
    engine::BuildScene();
    Dialogs().SetWaitCursor(page, false);
    engine::ForgetAppliedPlacement();
}

void OnCheck(WindowHandle page, const CheckSetting& box) {
    SceneSettings& s = settings::Settings();
    engine::RenderDevice& device = engine::Device();
    std::int32_t& value = s.*box.setting;
    value = Toggled(box, value);
    switch (box.id) {
        case kDither:
            device.dither = value;
            if (device.rmDevice) device.rmDevice->SetDither(value != 0);
            break;
        case kAntialias:
            device.antialias = value;
            if (device.rmDevice) device.rmDevice->SetAntialias(value != 0);
            break;
        case kFpsOn:
            device.ShowFrameRate = value;
            break;
        case kMidiOn:
            if (sound::MusicDevice() != 0) {
                if (value == 1) {
                    sound::PlayMusic(sound::MusicDevice(), page);
                } else {
                    sound::StopMusic(sound::MusicDevice(), page);
                }
            }
            Dialogs().EnableControl(page, kMidiButton, value == 1);
            break;
        case kOriginal:
            RebuildScene(page);
            Dialogs().EnableControl(page, kTextureButton, value != 1);
            break;
        case kUseImage:
            Dialogs().EnableControl(page, kColorButton, value != 1);
            Dialogs().EnableControl(page, kImageButton, value == 1);
            ShowBackground();
            break;
        default:
            break;
    }
}

void OnColor(WindowHandle page) {
    SceneSettings& s = settings::Settings();
    ColorChoice choice;
    choice.color = s.COLOR & 0x00FFFFFF;
    for (int i = 0; i < 16; ++i) choice.custom[i] = CustomColors()[i];
    if (Dialogs().ChooseColor(page, choice)) {
        s.COLOR = choice.color & 0x00FFFFFF;
        ShowBackground();
    }
    // The custom colours live on, also when the choice was cancelled.
    for (int i = 0; i < 16; ++i) CustomColors()[i] = choice.custom[i] & 0x00FFFFFF;
}

// The open-file chooser on a path setting: true when a new path was stored. The
// desktop's name of the chosen file (UTF-8) goes to *chosen.
bool ChoosePath(WindowHandle page, char (&path)[settings::kPathBufferSize], const char* title,
                const char* filterName, const char* filterPattern, std::string* chosen,
                bool pictures = false) {
    const int codePage = settings::Settings().keyboardCodePage;
    FileChooser chooser;
    chooser.title = title;
    chooser.filterName = filterName;
    chooser.filterPattern = filterPattern;
    if (pictures) {
        chooser.firstFilterName = kPictureFilterName;
        chooser.firstFilterPattern = kPictureFilterPattern;
    }
    chooser.initialPath = StoredToPath(path, sizeof path, codePage);
    std::string stored;
    if (!Dialogs().ChooseOpenFile(page, chooser, chosen)) return false;
    if (!PathToStored(*chosen, codePage, &stored)) {
        Dialogs().ShowMessage(page, kTitle,
                              "This path cannot be kept in the settings (it is longer than 254 "
                              "bytes, or has characters the settings cannot hold): " + *chosen,
                              MessageKind::kWarning);
        return false;
    }
    StoreInBuffer(path, sizeof path, stored);
    return true;
}

void OnMidiButton(WindowHandle page) {
    SceneSettings& s = settings::Settings();
    std::string chosen;
    if (!ChoosePath(page, s.MIDI_NM, "Open MIDI file", "MIDI file (*.mid)", "*.mid", &chosen)) {
        return;
    }
    std::uint32_t& device = sound::MusicDevice();
    if (device != 0) sound::CloseMusic(device);
    device = sound::OpenMusic(s.MIDI_NM);
    if (device != 0) sound::PlayMusic(device, page);
}

void OnTextureButton(WindowHandle page) {
    SceneSettings& s = settings::Settings();
    std::string chosen;
    if (!ChoosePath(page, s.TEX_NM, "Open Texture file", "TEXTURE file (*.bmp, *.ppm)",
                    "*.bmp;*.ppm", &chosen, true)) {
        return;
    }
    RebuildScene(page);
}

void OnImageButton(WindowHandle page) {
    SceneSettings& s = settings::Settings();
    std::string chosen;
    if (!ChoosePath(page, s.IMAGE_NM, "Open Back Image file", "Back Image file (*.bmp)", "*.bmp",
                    &chosen, true)) {
        return;
    }
    engine::Scene& scene = engine::TheScene();
    if (!scene.SceneFrame) return;
    // The picture is read by the desktop's name of the file chosen: the stored bytes
    // are in the code page. The old one goes once the background no longer shows it.
    platform::rm::Texture* old = scene.BackgroundTexture;
    scene.BackgroundTexture = platform::rm::Texture::Load(chosen);
    scene.SceneFrame->SetSceneBackgroundImage(scene.BackgroundTexture);
    if (old) old->Release();
}

void Collect(WindowHandle page) {
    SceneSettings& s = settings::Settings();
    for (const CheckSetting& c : kChecks) {
        if (c.collected) s.*c.setting = Dialogs().GetCheck(page, c.id);
    }
    engine::RenderDevice& device = engine::Device();
    device.dither = Dialogs().GetCheck(page, kDither);
    device.antialias = Dialogs().GetCheck(page, kAntialias);
}

void OnCommand(WindowHandle page, int id) {
    switch (id) {
        case IDOK:
            Collect(page);
            return;
        case IDCANCEL:
            return;
        case kMidiButton:
            OnMidiButton(page);
            return;
        case kTextureButton:
            OnTextureButton(page);
            return;
        case kImageButton:
            OnImageButton(page);
            return;
        case kFlat:
            SetQuality(kFlatQuality);
            break;
        case kGouraud:
            SetQuality(kGouraudQuality);
            break;
        case kNearestTexture:
            SetTextureQuality(0);
            break;
        case kLinearTexture:
            SetTextureQuality(1);
            break;
        case kColorButton:
            OnColor(page);
            break;
        default:
            if (const CheckSetting* box = FindCheck(id)) OnCheck(page, *box);
            break;
    }
    Refresh(page);
}

}  // namespace

std::span<const CheckSetting> MediaCheckBoxes() { return kChecks; }

int CheckedState(const CheckSetting& box, std::int32_t value) {
    return box.toggle == Toggle::kUseImage ? (value != 0 ? 1 : 0) : (value == 1 ? 1 : 0);
}

std::int32_t Toggled(const CheckSetting& box, std::int32_t value) {
    if (box.toggle == Toggle::kUseImage) return value == 0 ? 1 : 0;
    return value == 1 ? 0 : 1;
}

std::uint32_t (&CustomColors())[16] {
    static std::uint32_t colors[16] = {};
    return colors;
}

LRESULT MediaPageProc(WindowHandle page, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            Create(page);
            Refresh(page);
            return 1;
        case WM_PAINT:
            PaintBackground(page, "BKGND2", wParam, lParam);
            return 0;
        case WM_DRAWITEM:
            DrawFaceOf(lParam, kFaces);
            return 1;
        case WM_COMMAND:
            OnCommand(page, LowWord(wParam));
            return 1;
        default:
            return 0;
    }
}

}  // namespace config
