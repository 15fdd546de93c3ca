// The null dialog backend: requests recorded, control state kept, no desktop.
#include "platform/dialog/dialog_null.h"

#include <algorithm>
#include <cstdio>

namespace platform {

namespace {

std::string R(const Rect& r) {
    char b[64];
    std::snprintf(b, sizeof b, "%d,%d,%d,%d", r.x, r.y, r.width, r.height);
    return b;
}

std::string H(WindowHandle h) { return std::to_string(h); }

const char* KindName(ControlKind k) {
    switch (k) {
        case ControlKind::kButton: return "button";
        case ControlKind::kCheckBox: return "check";
        case ControlKind::kRadioButton: return "radio";
        case ControlKind::kEdit: return "edit";
        case ControlKind::kTrackbar: return "trackbar";
        case ControlKind::kUpDown: return "updown";
        case ControlKind::kTabControl: return "tabs";
        case ControlKind::kNativeArea: return "native";
    }
    return "?";
}

}  // namespace

NullDialogBackend::Control* NullDialogBackend::Find(WindowHandle dialog, int id) {
    auto d = dialogs.find(dialog);
    if (d == dialogs.end()) return nullptr;
    auto c = d->second.controls.find(id);
    return c == d->second.controls.end() ? nullptr : &c->second;
}

DrawTarget NullDialogBackend::ItemTarget(WindowHandle dialog, int id) {
    const DrawTarget t = nextTarget_++;
    targets_[t] = H(dialog) + ":" + std::to_string(id);
    return t;
}

std::vector<std::string> NullDialogBackend::Lines(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& l : log) {
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
}

std::string NullDialogBackend::TargetName(DrawTarget target) const {
    auto t = targets_.find(target);
    return t == targets_.end() ? "?" : t->second;
}

bool NullDialogBackend::ScreenSize(int* width, int* height) {
    *width = screenWidth;
    *height = screenHeight;
    return true;
}

bool NullDialogBackend::CreateDialog(WindowHandle dialog, WindowHandle parent, const Rect& r,
                                     int templateId) {
    Dialog d;
    d.parent = parent;
    d.rect = r;
    d.templateId = templateId;
    dialogs[dialog] = d;
    Log("CreateDialog " + H(dialog) + " parent " + H(parent) + " " + R(r));
    return true;
}

void NullDialogBackend::DestroyDialog(WindowHandle dialog) {
    dialogs.erase(dialog);
    Log("DestroyDialog " + H(dialog));
}

void NullDialogBackend::MoveDialog(WindowHandle dialog, const Rect& r) {
    if (auto d = dialogs.find(dialog); d != dialogs.end()) d->second.rect = r;
    Log("MoveDialog " + H(dialog) + " " + R(r));
}

void NullDialogBackend::ShowDialog(WindowHandle dialog, bool visible) {
    if (auto d = dialogs.find(dialog); d != dialogs.end()) d->second.visible = visible;
    Log("ShowDialog " + H(dialog) + " " + (visible ? "1" : "0"));
}

bool NullDialogBackend::CreateControl(WindowHandle dialog, int id, ControlKind kind,
                                      const Rect& r, std::uint32_t style) {
    auto d = dialogs.find(dialog);
    if (d == dialogs.end()) return false;
    Control c;
    c.kind = kind;
    c.rect = r;
    c.style = style;
    c.order = static_cast<int>(d->second.controls.size());
    d->second.controls[id] = c;
    Log("Control " + H(dialog) + " " + std::to_string(id) + " " + KindName(kind) + " " + R(r));
    return true;
}

void NullDialogBackend::MoveControl(WindowHandle dialog, int id, const Rect& r) {
    if (Control* c = Find(dialog, id)) c->rect = r;
    Log("Move " + H(dialog) + " " + std::to_string(id) + " " + R(r));
}

void NullDialogBackend::EnableControl(WindowHandle dialog, int id, bool enabled) {
    if (Control* c = Find(dialog, id)) c->enabled = enabled;
    Log("Enable " + H(dialog) + " " + std::to_string(id) + " " + (enabled ? "1" : "0"));
}

bool NullDialogBackend::IsControlEnabled(WindowHandle dialog, int id) {
    Control* c = Find(dialog, id);
    return c && c->enabled;
}

void NullDialogBackend::ShowControl(WindowHandle dialog, int id, bool visible) {
    if (Control* c = Find(dialog, id)) c->visible = visible;
    Log("Show " + H(dialog) + " " + std::to_string(id) + " " + (visible ? "1" : "0"));
}

bool NullDialogBackend::IsControlVisible(WindowHandle dialog, int id) {
    Control* c = Find(dialog, id);
    return c && c->visible;
}

void NullDialogBackend::SetCheck(WindowHandle dialog, int id, int checked) {
    Control* c = Find(dialog, id);
    if (c && c->kind == ControlKind::kRadioButton && checked) {
        // The others of its group lose their mark: the group runs from the radio
        // button made with kStyleGroup to the next one.
        std::vector<std::pair<int, Control*>> radios;
        for (auto& [otherId, other] : dialogs[dialog].controls) {
            if (other.kind == ControlKind::kRadioButton) radios.push_back({other.order, &other});
        }
        std::sort(radios.begin(), radios.end());
        int group = 0, mine = -1;
        std::vector<int> groups;
        for (auto& [order, other] : radios) {
            if (other->style & kStyleGroup) ++group;
            groups.push_back(group);
            if (other == c) mine = group;
        }
        for (std::size_t i = 0; i < radios.size(); ++i) {
            if (groups[i] == mine) radios[i].second->check = 0;
        }
    }
    if (c) c->check = checked;
    Log("Check " + H(dialog) + " " + std::to_string(id) + " " + std::to_string(checked));
}

int NullDialogBackend::GetCheck(WindowHandle dialog, int id) {
    Control* c = Find(dialog, id);
    return c ? c->check : 0;
}

void NullDialogBackend::SetRange(WindowHandle dialog, int id, int minimum, int maximum) {
    if (Control* c = Find(dialog, id)) {
        c->minimum = minimum;
        c->maximum = maximum;
    }
    Log("Range " + H(dialog) + " " + std::to_string(id) + " " + std::to_string(minimum) + " " +
        std::to_string(maximum));
}

void NullDialogBackend::SetPosition(WindowHandle dialog, int id, int position) {
    if (Control* c = Find(dialog, id)) {
        // A control keeps its position inside its range, as the real ones do.
        c->position = position < c->minimum   ? c->minimum
                      : position > c->maximum ? c->maximum
                                              : position;
    }
    Log("Position " + H(dialog) + " " + std::to_string(id) + " " + std::to_string(position));
}

int NullDialogBackend::GetPosition(WindowHandle dialog, int id) {
    Control* c = Find(dialog, id);
    return c ? c->position : 0;
}

void NullDialogBackend::SetTicks(WindowHandle dialog, int id, int frequency, int extraTick) {
    if (Control* c = Find(dialog, id)) {
        c->tickFrequency = frequency;
        c->extraTick = extraTick;
    }
    Log("Ticks " + H(dialog) + " " + std::to_string(id) + " " + std::to_string(frequency) + " " +
        std::to_string(extraTick));
}

void NullDialogBackend::SetTabs(WindowHandle dialog, int id, int count, int width, int height) {
    if (Control* c = Find(dialog, id)) {
        c->tabCount = count;
        c->tabWidth = width;
        c->tabHeight = height;
        c->minimum = 0;
        c->maximum = count > 0 ? count - 1 : 0;
    }
    Log("Tabs " + H(dialog) + " " + std::to_string(id) + " " + std::to_string(count) + " " +
        std::to_string(width) + "x" + std::to_string(height));
}

void NullDialogBackend::SetText(WindowHandle dialog, int id, const std::string& utf8) {
    if (Control* c = Find(dialog, id)) c->text = utf8;
    Log("Text " + H(dialog) + " " + std::to_string(id) + " '" + utf8 + "'");
}

std::string NullDialogBackend::GetText(WindowHandle dialog, int id) {
    Control* c = Find(dialog, id);
    return c ? c->text : std::string();
}

void NullDialogBackend::SetTextLimit(WindowHandle dialog, int id, int characters) {
    if (Control* c = Find(dialog, id)) c->textLimit = characters;
    Log("Limit " + H(dialog) + " " + std::to_string(id) + " " + std::to_string(characters));
}

void NullDialogBackend::SetControlFont(WindowHandle dialog, int id, const FontDescription& font) {
    if (Control* c = Find(dialog, id)) c->font = font;
    Log("Font " + H(dialog) + " " + std::to_string(id) + " '" + font.face + "' " +
        std::to_string(font.height));
}

void NullDialogBackend::SetInsertFilter(WindowHandle dialog, int id,
                                           std::function<bool(std::string_view)> accept) {
    if (Control* c = Find(dialog, id)) c->filter = std::move(accept);
}

std::uint64_t NullDialogBackend::NativeWindowId(WindowHandle dialog, int id) {
    return Find(dialog, id) ? 0x100000u + static_cast<std::uint64_t>(id) : 0;
}

void NullDialogBackend::RedrawControl(WindowHandle dialog, int id) {
    Log("Redraw " + H(dialog) + " " + std::to_string(id));
}

void NullDialogBackend::Invalidate(WindowHandle dialog) {
    if (auto d = dialogs.find(dialog); d != dialogs.end()) d->second.invalid = true;
    Log("Invalidate " + H(dialog));
}

DrawTarget NullDialogBackend::BeginPaint(WindowHandle dialog) {
    if (auto d = dialogs.find(dialog); d != dialogs.end()) d->second.invalid = false;
    const DrawTarget t = nextTarget_++;
    targets_[t] = H(dialog);
    Log("BeginPaint " + H(dialog));
    return t;
}

void NullDialogBackend::EndPaint(WindowHandle dialog, DrawTarget target) {
    targets_.erase(target);
    Log("EndPaint " + H(dialog));
}

DrawTarget NullDialogBackend::GetDC(WindowHandle dialog) {
    const DrawTarget t = nextTarget_++;
    targets_[t] = H(dialog);
    Log("GetDC " + H(dialog));
    return t;
}

void NullDialogBackend::ReleaseDC(WindowHandle dialog, DrawTarget target) {
    targets_.erase(target);
    Log("ReleaseDC " + H(dialog));
}

bool NullDialogBackend::DrawPicture(DrawTarget target, std::span<const std::byte> bmp,
                                    const Rect& dst) {
    const std::string name =
        pictureName ? pictureName(bmp) : "<" + std::to_string(bmp.size()) + " bytes>";
    bool broken = bmp.size() < 2 || bmp[0] != std::byte{'B'} || bmp[1] != std::byte{'M'};
    for (const std::string& b : brokenPictures) broken = broken || b == name;
    Log("Picture " + TargetName(target) + " " + name + " " + R(dst) + (broken ? " failed" : ""));
    return !broken;
}

void NullDialogBackend::FillRect(DrawTarget target, const Rect& r, std::uint32_t colorref) {
    char c[16];
    std::snprintf(c, sizeof c, "%06x", colorref & 0xFFFFFF);
    Log("Fill " + TargetName(target) + " " + R(r) + " " + c);
}

void NullDialogBackend::DrawText(DrawTarget target, int x, int y, const std::string& utf8,
                                 const Font* font, std::uint32_t colorref) {
    char c[16];
    std::snprintf(c, sizeof c, "%06x", colorref & 0xFFFFFF);
    Log("Text " + TargetName(target) + " " + std::to_string(x) + "," + std::to_string(y) + " '" +
        utf8 + "' " + (font ? font->description().face : std::string("default")) + " " + c);
}

void NullDialogBackend::Beep() {
    ++beeps;
    Log("Beep");
}

void NullDialogBackend::SetWaitCursor(WindowHandle dialog, bool wait) {
    if (auto d = dialogs.find(dialog); d != dialogs.end()) d->second.waitCursor = wait;
    Log(std::string(wait ? "WaitCursor " : "ArrowCursor ") + H(dialog));
}

void NullDialogBackend::RunModal(WindowHandle dialog, void (*pump)()) {
    Log("RunModal " + H(dialog));
    if (pump) pump();
}

void NullDialogBackend::EndModal(WindowHandle dialog) { Log("EndModal " + H(dialog)); }

bool NullDialogBackend::ChooseOpenFile(WindowHandle owner, const FileChooser& chooser,
                                       std::string* utf8Path) {
    filesAsked.push_back(chooser);
    Log("ChooseFile " + H(owner) + " '" + chooser.title + "'");
    if (fileAnswers.empty()) return false;
    std::optional<std::string> answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (!answer) return false;
    *utf8Path = *answer;
    return true;
}

bool NullDialogBackend::ChooseFont(WindowHandle owner, FontChoice& choice) {
    fontsAsked.push_back(choice);
    Log("ChooseFont " + H(owner));
    if (fontAnswers.empty()) return false;
    std::optional<FontChoice> answer = fontAnswers.front();
    fontAnswers.pop_front();
    if (!answer) return false;
    choice = *answer;
    return true;
}

bool NullDialogBackend::ChooseColor(WindowHandle owner, ColorChoice& choice) {
    colorsAsked.push_back(choice);
    Log("ChooseColor " + H(owner));
    if (colorAnswers.empty()) return false;
    std::optional<ColorChoice> answer = colorAnswers.front();
    colorAnswers.pop_front();
    if (!answer) return false;
    choice = *answer;
    return true;
}

void NullDialogBackend::ShowMessage(WindowHandle owner, const std::string& title,
                                    const std::string& text, MessageKind) {
    messages.push_back(title + ": " + text);
    Log("Message " + H(owner) + " '" + title + "'");
}

bool NullDialogBackend::OpenDocument(WindowHandle owner, const std::string& path) {
    documents.push_back(path);
    Log("OpenDocument " + H(owner) + " " + path);
    return documentsOpen;
}

}  // namespace platform
