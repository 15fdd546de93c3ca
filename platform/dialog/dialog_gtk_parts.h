// What the GTK dialog backend's files share: a dialog's pane with its picture and
// controls, the drawing helpers, and the handlers of the controls we draw ourselves
// (dialog_gtk_controls.cpp). Internal to platform/dialog.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "platform/dialog/dialog.h"
#include "platform/fonts/fonts.h"

namespace platform::gtk_dialog {

struct Pane;

struct GtkControl {
    Pane* dialog = nullptr;
    int id = 0;
    ControlKind kind = ControlKind::kButton;
    Rect rect;
    std::uint32_t style = 0;
    int order = 0;  // the order in which the dialog made its controls
    GtkWidget* widget = nullptr;
    bool enabled = true;
    int check = 0;
    int minimum = 0, maximum = 100, position = 0;
    int tickFrequency = 0, extraTick = 0x7FFFFFFF;
    int tabCount = 0, tabWidth = 0, tabHeight = 0;
    bool pressed = false;    // a button shows its pressed face
    bool mouseDown = false;  // the first button went down on it and is still held
    int pressedHalf = 0;     // up-down: +1 the upper arrow, -1 the lower
    bool dragging = false;   // slider: the thumb follows the pointer
    guint repeat = 0;        // the auto-repeat of a held up-down arrow
    bool programmatic = false;
    std::function<bool(std::string_view)> filter;
    GtkCssProvider* css = nullptr;
};

struct Pane {
    WindowHandle handle = 0;
    WindowHandle parent = 0;
    GtkWidget* window = nullptr;  // top-level dialogs only
    GtkWidget* fixed = nullptr;
    Rect rect;
    cairo_surface_t* picture = nullptr;
    bool invalid = true;
    bool inPaint = false;
    GMainLoop* loop = nullptr;
    std::map<int, GtkControl*> controls;
};

struct Target {
    cairo_t* cr = nullptr;
    Pane* dialog = nullptr;  // set for paints and device contexts of a dialog
    bool owned = false;
};

struct PumpSource {
    GSource source;
    void (*pump)();
    std::uint32_t last;  // when it last ran
};

// The Windows 95 palette of three-dimensional controls.
inline constexpr std::uint32_t kFace = 0xC0C0C0, kShadow = 0x808080, kDarkShadow = 0x000000,
                        kHighlight = 0xFFFFFF, kText = 0x000000, kGreyText = 0x808080;

// Drawing and telling the owner (dialog_gtk.cpp).
void SetColour(cairo_t* cr, std::uint32_t colorref);
void FillBox(cairo_t* cr, double x, double y, double w, double h, std::uint32_t colorref);
// A raised (or, pressed, sunken) two-pixel edge around a box, as buttons have.
void Edge(cairo_t* cr, double x, double y, double w, double h, bool sunken);
DrawTarget AddTarget(cairo_t* cr, Pane* d, bool owned);
void DropTarget(DrawTarget t);
// What lies under a control in its dialog's picture.
void PaintUnder(GtkControl* c, cairo_t* cr);
void SendToOwner(GtkControl* c, std::uint32_t message, WPARAM w, LPARAM l);
void Clicked(GtkControl* c);
bool Inside(GtkControl* c, double x, double y);

// The controls we draw ourselves: owner-drawn buttons, check boxes and radio buttons,
// sliders, up-down controls, tabs; and GTK's entry as the edit control
// (dialog_gtk_controls.cpp).
gboolean OnButtonDraw(GtkWidget* w, cairo_t* cr, gpointer data);
gboolean OnButtonPress(GtkWidget* w, GdkEventButton* e, gpointer data);
gboolean OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer data);
gboolean OnButtonMotion(GtkWidget*, GdkEventMotion* e, gpointer data);
gboolean OnButtonKey(GtkWidget*, GdkEventKey* e, gpointer data);
gboolean OnCheckDraw(GtkWidget* w, cairo_t* cr, gpointer data);
gboolean OnSliderDraw(GtkWidget* w, cairo_t* cr, gpointer data);
gboolean OnSliderPress(GtkWidget* w, GdkEventButton* e, gpointer data);
gboolean OnSliderMotion(GtkWidget*, GdkEventMotion* e, gpointer data);
gboolean OnSliderRelease(GtkWidget*, GdkEventButton* e, gpointer data);
gboolean OnSliderKey(GtkWidget*, GdkEventKey* e, gpointer data);
void StopUpDownRepeat(GtkControl* c);
gboolean OnUpDownDraw(GtkWidget* w, cairo_t* cr, gpointer data);
gboolean OnUpDownPress(GtkWidget* w, GdkEventButton* e, gpointer data);
gboolean OnUpDownRelease(GtkWidget* w, GdkEventButton* e, gpointer data);
gboolean OnUpDownKey(GtkWidget*, GdkEventKey* e, gpointer data);
gboolean OnTabsDraw(GtkWidget*, cairo_t* cr, gpointer data);
gboolean OnTabsPress(GtkWidget* w, GdkEventButton* e, gpointer data);
gboolean OnTabsKey(GtkWidget*, GdkEventKey* e, gpointer data);
void OnEditInsert(GtkEditable* editable, const gchar* text, gint length, gint*, gpointer data);
void OnEditChanged(GtkEditable*, gpointer data);
void ApplyCss(GtkControl* c, const std::string& css);
// An edit box fits its rectangle: the theme's padding and least height give way.
std::string EditCss(const std::string& font);

// The system's choosers over a dialog (dialog_gtk_choosers.cpp).
bool RunFontChooser(WindowHandle owner, FontChoice& choice);
bool RunColorChooser(WindowHandle owner, ColorChoice& choice);

}  // namespace platform::gtk_dialog
