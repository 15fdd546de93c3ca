// The null dialog backend: no desktop, every request recorded in order and every
// control's state kept, so that tests drive dialog procedures and read what they did.
// Choosers answer from queues the test fills; an empty queue answers "cancelled".
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog/dialog.h"

namespace platform {

class NullDialogBackend : public DialogBackend {
public:
    struct Control {
        ControlKind kind = ControlKind::kButton;
        Rect rect;
        std::uint32_t style = 0;
        int order = 0;  // the order in which the dialog made its controls
        bool enabled = true;
        bool visible = true;
        int check = 0;
        int minimum = 0, maximum = 100, position = 0;
        int tickFrequency = 0, extraTick = 0;
        int tabCount = 0, tabWidth = 0, tabHeight = 0;
        std::string text;
        int textLimit = 0;
        std::optional<FontDescription> font;
        std::function<bool(std::string_view)> filter;
    };
    struct Dialog {
        WindowHandle parent = 0;
        Rect rect;
        int templateId = 0;
        bool visible = false;
        bool invalid = true;
        bool waitCursor = false;
        std::map<int, Control> controls;
    };

    // Every request, one line each, in order: "Enable 3 1029 0", "Picture 3 BKGND
    // 0,0,580,445", "Text 3 125,266 ' 0'", ... (dialog handles in decimal).
    std::vector<std::string> log;
    std::map<WindowHandle, Dialog> dialogs;
    int screenWidth = 1280, screenHeight = 1024;
    double pixelScale = 1;
    int beeps = 0;
    std::uint64_t ownerWindow = 0;  // as SetOwnerWindow left it
    // Names a picture for the log (tests name resources); "<N bytes>" without it.
    std::function<std::string(std::span<const std::byte>)> pictureName;
    // Pictures of these names do not draw, as when a face cannot be loaded.
    std::vector<std::string> brokenPictures;

    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::optional<FontChoice>> fontAnswers;
    std::deque<std::optional<ColorChoice>> colorAnswers;
    // What the choosers were offered, and the boxes shown.
    std::vector<FileChooser> filesAsked;
    std::vector<FontChoice> fontsAsked;
    std::vector<ColorChoice> colorsAsked;
    std::vector<std::string> messages;  // "title: text"
    std::vector<std::string> documents;
    bool documentsOpen = true;

    Control* Find(WindowHandle dialog, int id);
    // A draw target for a control's WM_DRAWITEM, logged as "<dialog>:<id>".
    DrawTarget ItemTarget(WindowHandle dialog, int id);
    // The log lines that start with the prefix, in order.
    std::vector<std::string> Lines(const std::string& prefix) const;
    void ClearLog() { log.clear(); }

    bool Available() override { return true; }
    void SetOwnerWindow(std::uint64_t nativeId) override { ownerWindow = nativeId; }
    bool ScreenSize(int* width, int* height) override;
    double PixelScale() override { return pixelScale; }
    bool CreateDialog(WindowHandle dialog, WindowHandle parent, const Rect& r,
                      int templateId) override;
    void DestroyDialog(WindowHandle dialog) override;
    void MoveDialog(WindowHandle dialog, const Rect& r) override;
    void ShowDialog(WindowHandle dialog, bool visible) override;
    bool CreateControl(WindowHandle dialog, int id, ControlKind kind, const Rect& r,
                       std::uint32_t style) override;
    void MoveControl(WindowHandle dialog, int id, const Rect& r) override;
    void EnableControl(WindowHandle dialog, int id, bool enabled) override;
    bool IsControlEnabled(WindowHandle dialog, int id) override;
    void ShowControl(WindowHandle dialog, int id, bool visible) override;
    bool IsControlVisible(WindowHandle dialog, int id) override;
    void SetCheck(WindowHandle dialog, int id, int checked) override;
    int GetCheck(WindowHandle dialog, int id) override;
    void SetRange(WindowHandle dialog, int id, int minimum, int maximum) override;
    void SetPosition(WindowHandle dialog, int id, int position) override;
    int GetPosition(WindowHandle dialog, int id) override;
    void SetTicks(WindowHandle dialog, int id, int frequency, int extraTick) override;
    void SetTabs(WindowHandle dialog, int id, int count, int width, int height) override;
    void SetText(WindowHandle dialog, int id, const std::string& utf8) override;
    std::string GetText(WindowHandle dialog, int id) override;
    void SetTextLimit(WindowHandle dialog, int id, int characters) override;
    void SetControlFont(WindowHandle dialog, int id, const FontDescription& font) override;
    void SetInsertFilter(WindowHandle dialog, int id,
                            std::function<bool(std::string_view)> accept) override;
    std::uint64_t NativeWindowId(WindowHandle dialog, int id) override;
    void RedrawControl(WindowHandle dialog, int id) override;
    void Invalidate(WindowHandle dialog) override;
    DrawTarget BeginPaint(WindowHandle dialog) override;
    void EndPaint(WindowHandle dialog, DrawTarget target) override;
    DrawTarget GetDC(WindowHandle dialog) override;
    void ReleaseDC(WindowHandle dialog, DrawTarget target) override;
    bool DrawPicture(DrawTarget target, std::span<const std::byte> bmp, const Rect& dst) override;
    void FillRect(DrawTarget target, const Rect& r, std::uint32_t colorref) override;
    void DrawText(DrawTarget target, int x, int y, const std::string& utf8, const Font* font,
                  std::uint32_t colorref) override;
    void Beep() override;
    void SetWaitCursor(WindowHandle dialog, bool wait) override;
    void RunModal(WindowHandle dialog, void (*pump)()) override;
    void EndModal(WindowHandle dialog) override;
    bool ChooseOpenFile(WindowHandle owner, const FileChooser& chooser,
                        std::string* utf8Path) override;
    bool ChooseFont(WindowHandle owner, FontChoice& choice) override;
    bool ChooseColor(WindowHandle owner, ColorChoice& choice) override;
    void ShowMessage(WindowHandle owner, const std::string& title, const std::string& text,
                     MessageKind kind) override;
    bool OpenDocument(WindowHandle owner, const std::string& path) override;

private:
    void Log(const std::string& line) { log.push_back(line); }
    std::string TargetName(DrawTarget target) const;
    std::map<DrawTarget, std::string> targets_;
    DrawTarget nextTarget_ = 1;
};

}  // namespace platform
