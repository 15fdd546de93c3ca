// The dialog backend on GTK 3. A dialog is a GtkFixed (inside an undecorated window
// when it is a top-level one) with a picture of its own behind its controls: what
// WM_PAINT and the device contexts draw goes into that picture, and the picture is
// shown under the controls, so the drawing keeps until the dialog draws again, as a
// window's pixels do. Owner-drawn buttons, tabs, check boxes, radio buttons, sliders
// and up-down controls are drawn here at their exact rectangles; the edit control is
// GTK's entry. Our own window messages, timers and notices are pumped from GTK's loop.
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <sys/wait.h>

#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/dialog/dialog.h"
#include "platform/dialog/gtk_common.h"
#include "platform/dialog/picture_dialog.h"
#include "platform/report/report.h"
#include "platform/text/text.h"

namespace platform {

namespace {

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

std::map<WindowHandle, Pane*> g_dialogs;
std::map<DrawTarget, Target> g_targets;
DrawTarget g_nextTarget = 1;
PumpSource* g_pump = nullptr;
int g_modalDepth = 0;

Pane* FindDialog(WindowHandle h) {
    auto it = g_dialogs.find(h);
    return it == g_dialogs.end() ? nullptr : it->second;
}

GtkControl* FindControl(WindowHandle dialog, int id) {
    Pane* d = FindDialog(dialog);
    if (!d) return nullptr;
    auto it = d->controls.find(id);
    return it == d->controls.end() ? nullptr : it->second;
}

void SetColour(cairo_t* cr, std::uint32_t colorref) {
    cairo_set_source_rgb(cr, (colorref & 0xFF) / 255.0, ((colorref >> 8) & 0xFF) / 255.0,
                         ((colorref >> 16) & 0xFF) / 255.0);
}

void FillBox(cairo_t* cr, double x, double y, double w, double h, std::uint32_t colorref) {
    SetColour(cr, colorref);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

// The Windows 95 palette of three-dimensional controls.
constexpr std::uint32_t kFace = 0xC0C0C0, kShadow = 0x808080, kDarkShadow = 0x000000,
                        kHighlight = 0xFFFFFF, kText = 0x000000, kGreyText = 0x808080;

// A raised (or, pressed, sunken) two-pixel edge around a box, as buttons have.
void Edge(cairo_t* cr, double x, double y, double w, double h, bool sunken) {
    const std::uint32_t outerLight = sunken ? kShadow : kHighlight;
    const std::uint32_t outerDark = sunken ? kHighlight : kDarkShadow;
    const std::uint32_t innerLight = sunken ? kDarkShadow : kFace;
    const std::uint32_t innerDark = sunken ? kFace : kShadow;
    FillBox(cr, x, y, w, 1, outerLight);
    FillBox(cr, x, y, 1, h, outerLight);
    FillBox(cr, x, y + h - 1, w, 1, outerDark);
    FillBox(cr, x + w - 1, y, 1, h, outerDark);
    FillBox(cr, x + 1, y + 1, w - 2, 1, innerLight);
    FillBox(cr, x + 1, y + 1, 1, h - 2, innerLight);
    FillBox(cr, x + 1, y + h - 2, w - 2, 1, innerDark);
    FillBox(cr, x + w - 2, y + 1, 1, h - 2, innerDark);
}

void PaintTextImage(cairo_t* cr, int x, int y, const TextImage& text) {
    if (text.width <= 0 || text.height <= 0) return;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, text.width, text.height);
    const int stride = cairo_image_surface_get_stride(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    for (int row = 0; row < text.height; ++row) {
        auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
        const std::uint8_t* in = text.rgba.data() + static_cast<std::size_t>(row) * text.width * 4;
        for (int col = 0; col < text.width; ++col, in += 4) {
            const std::uint32_t a = in[3];
            out[col] = (a << 24) | ((in[0] * a / 255) << 16) | ((in[1] * a / 255) << 8) |
                       (in[2] * a / 255);
        }
    }
    cairo_surface_mark_dirty(s);
    cairo_set_source_surface(cr, s, x, y);
    cairo_paint(cr);
    cairo_surface_destroy(s);
}

const Font& DefaultFont() {
    static std::unique_ptr<Font> font = Font::CreateDefault();
    return *font;
}

GdkPixbuf* DecodePicture(std::span<const std::byte> bytes) {
    if (bytes.empty()) return nullptr;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GdkPixbuf* pixbuf = nullptr;
    if (gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(),
                                nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
        if (pixbuf) g_object_ref(pixbuf);
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return pixbuf;
}

// The dialog's own picture, made at its size and the screen's scale on first use.
cairo_surface_t* Picture(Pane* d) {
    const int scale = d->fixed ? gtk_widget_get_scale_factor(d->fixed) : 1;
    if (d->picture) {
        double sx = 1, sy = 1;
        cairo_surface_get_device_scale(d->picture, &sx, &sy);
        if (cairo_image_surface_get_width(d->picture) == d->rect.width * scale &&
            cairo_image_surface_get_height(d->picture) == d->rect.height * scale &&
            static_cast<int>(sx) == scale) {
            return d->picture;
        }
        cairo_surface_destroy(d->picture);
    }
    d->picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(1, d->rect.width * scale),
                                            std::max(1, d->rect.height * scale));
    cairo_surface_set_device_scale(d->picture, scale, scale);
    // A window's ground before it first paints: the dialogs' grey.
    cairo_t* cr = cairo_create(d->picture);
    FillBox(cr, 0, 0, d->rect.width, d->rect.height, kFace);
    cairo_destroy(cr);
    d->invalid = true;
    return d->picture;
}

DrawTarget AddTarget(cairo_t* cr, Pane* d, bool owned) {
    const DrawTarget t = g_nextTarget++;
    g_targets[t] = Target{cr, d, owned};
    return t;
}

void DropTarget(DrawTarget t) {
    auto it = g_targets.find(t);
    if (it == g_targets.end()) return;
    if (it->second.owned) cairo_destroy(it->second.cr);
    g_targets.erase(it);
}

cairo_t* TargetCairo(DrawTarget t) {
    auto it = g_targets.find(t);
    return it == g_targets.end() ? nullptr : it->second.cr;
}

gboolean OnDialogDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    Pane* d = static_cast<Pane*>(data);
    cairo_surface_t* picture = Picture(d);
    if (d->invalid && !d->inPaint) {
        d->inPaint = true;
        SendMessage(d->handle, WM_PAINT, 0, 0);
        d->inPaint = false;
        d->invalid = false;
    }
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_paint(cr);
    return FALSE;  // the controls are drawn over it
}

// What lies under a control in its dialog's picture, so that controls that do not
// fill their rectangle stand on the dialog's background.
void PaintUnder(GtkControl* c, cairo_t* cr) {
    cairo_surface_t* picture = Picture(c->dialog);
    cairo_set_source_surface(cr, picture, -c->rect.x, -c->rect.y);
    cairo_paint(cr);
}

void SendToOwner(GtkControl* c, std::uint32_t message, WPARAM w, LPARAM l) {
    SendMessage(c->dialog->handle, message, w, l);
}

void Clicked(GtkControl* c) {
    SendToOwner(c, WM_COMMAND, MakeWParam(c->id, BN_CLICKED), c->id);
}

bool Inside(GtkControl* c, double x, double y) {
    return x >= 0 && y >= 0 && x < c->rect.width && y < c->rect.height;
}

// ---- owner-drawn buttons ----------------------------------------------------------

gboolean OnButtonDraw(GtkWidget* w, cairo_t* cr, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    DrawItem item;
    item.ctlType = ODT_BUTTON;
    item.ctlId = c->id;
    item.itemState = (c->pressed ? ODS_SELECTED : 0) | (c->enabled ? 0 : ODS_DISABLED) |
                     (gtk_widget_has_focus(w) ? ODS_FOCUS : 0);
    item.item = Rect{0, 0, c->rect.width, c->rect.height};
    PaintUnder(c, cr);
    item.target = AddTarget(cr, c->dialog, false);
    SendToOwner(c, WM_DRAWITEM, static_cast<WPARAM>(c->id), reinterpret_cast<LPARAM>(&item));
    DropTarget(item.target);
    return TRUE;
}

void SetPressed(GtkControl* c, bool pressed) {
    if (c->pressed == pressed) return;
    c->pressed = pressed;
    gtk_widget_queue_draw(c->widget);
}

gboolean OnButtonPress(GtkWidget* w, GdkEventButton* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (e->button != 1 || e->type != GDK_BUTTON_PRESS) return TRUE;
    gtk_widget_grab_focus(w);
    c->mouseDown = true;
    if (c->kind == ControlKind::kButton) SetPressed(c, true);
    return TRUE;
}

gboolean OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (e->button != 1 || !c->mouseDown) return TRUE;
    c->mouseDown = false;
    const bool inside = Inside(c, e->x, e->y);
    if (c->kind == ControlKind::kButton) SetPressed(c, false);
    if (!inside || !c->enabled) return TRUE;
    if (c->kind == ControlKind::kCheckBox) {
        c->check = c->check ? 0 : 1;
        gtk_widget_queue_draw(c->widget);
    } else if (c->kind == ControlKind::kRadioButton) {
        Dialogs().SetCheck(c->dialog->handle, c->id, 1);
    }
    Clicked(c);
    return TRUE;
}

gboolean OnButtonMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (c->mouseDown && c->kind == ControlKind::kButton) SetPressed(c, Inside(c, e->x, e->y));
    return TRUE;
}

gboolean OnButtonKey(GtkWidget*, GdkEventKey* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    const bool press = e->type == GDK_KEY_PRESS;
    if (e->keyval == GDK_KEY_space) {
        if (press) {
            if (c->kind == ControlKind::kButton) SetPressed(c, true);
        } else if (c->kind != ControlKind::kButton || c->pressed) {
            if (c->kind == ControlKind::kButton) SetPressed(c, false);
            if (c->kind == ControlKind::kCheckBox) {
                c->check = c->check ? 0 : 1;
                gtk_widget_queue_draw(c->widget);
            } else if (c->kind == ControlKind::kRadioButton) {
                Dialogs().SetCheck(c->dialog->handle, c->id, 1);
            }
            Clicked(c);
        }
        return TRUE;
    }
    if (press && c->kind == ControlKind::kButton &&
        (e->keyval == GDK_KEY_Return || e->keyval == GDK_KEY_KP_Enter)) {
        Clicked(c);
        return TRUE;
    }
    return FALSE;
}

// ---- check boxes and radio buttons -----------------------------------------------

gboolean OnCheckDraw(GtkWidget* w, cairo_t* cr, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    PaintUnder(c, cr);
    const double size = std::min(13, std::min(c->rect.width, c->rect.height));
    const double x = std::floor((c->rect.width - size) / 2), y = std::floor((c->rect.height - size) / 2);
    const std::uint32_t ground = c->enabled ? 0xFFFFFF : kFace;
    const std::uint32_t mark = c->enabled ? kText : kGreyText;
    if (c->kind == ControlKind::kCheckBox) {
        FillBox(cr, x, y, size, size, ground);
        Edge(cr, x, y, size, size, true);
        if (c->check) {
            SetColour(cr, mark);
            cairo_set_line_width(cr, 2);
            cairo_move_to(cr, x + 3, y + size / 2);
            cairo_line_to(cr, x + size / 2 - 0.5, y + size - 4);
            cairo_line_to(cr, x + size - 3, y + 3);
            cairo_stroke(cr);
        }
    } else {
        const double cx = x + size / 2, cy = y + size / 2, r = size / 2;
        cairo_arc(cr, cx, cy, r - 0.5, 0, 2 * M_PI);
        SetColour(cr, ground);
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 1);
        SetColour(cr, kShadow);
        cairo_stroke(cr);
        if (c->check) {
            cairo_arc(cr, cx, cy, r / 2.6, 0, 2 * M_PI);
            SetColour(cr, mark);
            cairo_fill(cr);
        }
    }
    if (gtk_widget_has_focus(w)) {
        const double dash = 1;
        cairo_set_dash(cr, &dash, 1, 0);
        cairo_set_line_width(cr, 1);
        SetColour(cr, kText);
        cairo_rectangle(cr, 0.5, 0.5, c->rect.width - 1, c->rect.height - 1);
        cairo_stroke(cr);
    }
    return TRUE;
}

// ---- sliders -----------------------------------------------------------------------

constexpr int kThumbHalf = 5;

double SliderLeft(GtkControl*) { return kThumbHalf + 3; }
double SliderRight(GtkControl* c) { return c->rect.width - kThumbHalf - 3; }

double SliderX(GtkControl* c, int position) {
    const int span = c->maximum - c->minimum;
    if (span <= 0) return SliderLeft(c);
    return SliderLeft(c) + (SliderRight(c) - SliderLeft(c)) * (position - c->minimum) / span;
}

int SliderPosition(GtkControl* c, double x) {
    const double width = SliderRight(c) - SliderLeft(c);
    if (width <= 0) return c->minimum;
    const double t = std::clamp((x - SliderLeft(c)) / width, 0.0, 1.0);
    return c->minimum + static_cast<int>(std::lround(t * (c->maximum - c->minimum)));
}

gboolean OnSliderDraw(GtkWidget* w, cairo_t* cr, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    PaintUnder(c, cr);
    const double top = 4;       // the ticks stand above the channel
    const double channel = 16;  // the channel's top
    // Ticks: at the ends, every tickFrequency positions, and the extra one.
    SetColour(cr, kText);
    auto tick = [&](int p) { FillBox(cr, std::round(SliderX(c, p)), top, 1, 4, kText); };
    tick(c->minimum);
    tick(c->maximum);
    if (c->tickFrequency > 0) {
        for (int p = c->minimum; p <= c->maximum; p += c->tickFrequency) tick(p);
    }
    if (c->extraTick >= c->minimum && c->extraTick <= c->maximum) tick(c->extraTick);
    // The sunken channel.
    const double left = SliderLeft(c) - 3, width = SliderRight(c) - SliderLeft(c) + 6;
    FillBox(cr, left, channel, width, 4, 0xFFFFFF);
    FillBox(cr, left, channel, width, 1, kShadow);
    FillBox(cr, left, channel, 1, 4, kShadow);
    FillBox(cr, left + 1, channel + 1, width - 2, 1, kDarkShadow);
    // The thumb, pointing up at the ticks.
    const double x = std::round(SliderX(c, c->position)) - kThumbHalf;
    const double tw = 2 * kThumbHalf + 1, ty = 10, th = 18;
    cairo_move_to(cr, x, ty + kThumbHalf);
    cairo_line_to(cr, x + kThumbHalf + 0.5, ty);
    cairo_line_to(cr, x + tw, ty + kThumbHalf);
    cairo_line_to(cr, x + tw, ty + th);
    cairo_line_to(cr, x, ty + th);
    cairo_close_path(cr);
    SetColour(cr, c->enabled ? kFace : 0xD8D8D8);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    SetColour(cr, c->enabled ? kDarkShadow : kShadow);
    cairo_stroke(cr);
    FillBox(cr, x + 1, ty + kThumbHalf, 1, th - kThumbHalf - 1, kHighlight);
    if (gtk_widget_has_focus(w)) {
        const double dash = 1;
        cairo_set_dash(cr, &dash, 1, 0);
        SetColour(cr, kText);
        cairo_rectangle(cr, 0.5, 0.5, c->rect.width - 1, c->rect.height - 1);
        cairo_stroke(cr);
    }
    return TRUE;
}

void SliderMoveTo(GtkControl* c, int position) {
    position = std::clamp(position, c->minimum, c->maximum);
    if (position == c->position) return;
    c->position = position;
    gtk_widget_queue_draw(c->widget);
    SendToOwner(c, WM_HSCROLL, MakeWParam(TB_THUMBTRACK, position), c->id);
}

gboolean OnSliderPress(GtkWidget* w, GdkEventButton* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (e->button != 1 || e->type != GDK_BUTTON_PRESS || !c->enabled) return TRUE;
    gtk_widget_grab_focus(w);
    const double thumb = SliderX(c, c->position);
    if (std::fabs(e->x - thumb) <= kThumbHalf + 1) {
        c->dragging = true;
    } else {
        // A click beside the thumb moves it a page toward the pointer.
        const int page = std::max(1, (c->maximum - c->minimum) / 5);
        SliderMoveTo(c, c->position + (e->x < thumb ? -page : page));
        SendToOwner(c, WM_HSCROLL, MakeWParam(TB_ENDTRACK, 0), c->id);
    }
    return TRUE;
}

gboolean OnSliderMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (c->dragging) SliderMoveTo(c, SliderPosition(c, e->x));
    return TRUE;
}

gboolean OnSliderRelease(GtkWidget*, GdkEventButton* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (e->button == 1 && c->dragging) {
        c->dragging = false;
        SendToOwner(c, WM_HSCROLL, MakeWParam(TB_ENDTRACK, 0), c->id);
    }
    return TRUE;
}

gboolean OnSliderKey(GtkWidget*, GdkEventKey* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (!c->enabled) return FALSE;
    const int page = std::max(1, (c->maximum - c->minimum) / 5);
    int target = c->position;
    switch (e->keyval) {
        case GDK_KEY_Left: case GDK_KEY_Up: target -= 1; break;
        case GDK_KEY_Right: case GDK_KEY_Down: target += 1; break;
        case GDK_KEY_Page_Up: target -= page; break;
        case GDK_KEY_Page_Down: target += page; break;
        case GDK_KEY_Home: target = c->minimum; break;
        case GDK_KEY_End: target = c->maximum; break;
        default: return FALSE;
    }
    SliderMoveTo(c, target);
    SendToOwner(c, WM_HSCROLL, MakeWParam(TB_ENDTRACK, 0), c->id);
    return TRUE;
}

// ---- up-down controls --------------------------------------------------------------

void StepUpDown(GtkControl* c, int delta) {
    // The upper arrow goes toward the range's second end, as Windows' does.
    const int direction = c->maximum >= c->minimum ? 1 : -1;
    const int low = std::min(c->minimum, c->maximum), high = std::max(c->minimum, c->maximum);
    const int target = std::clamp(c->position + delta * direction, low, high);
    if (target == c->position) return;
    c->position = target;
    SendToOwner(c, WM_VSCROLL, MakeWParam(SB_THUMBPOSITION, target), c->id);
}

gboolean RepeatUpDown(gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (!c->pressedHalf || !c->enabled) {
        c->repeat = 0;
        return G_SOURCE_REMOVE;
    }
    StepUpDown(c, c->pressedHalf);
    return G_SOURCE_CONTINUE;
}

gboolean StartUpDownRepeat(gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    c->repeat = c->pressedHalf ? g_timeout_add(50, RepeatUpDown, c) : 0;
    return G_SOURCE_REMOVE;
}

void StopUpDownRepeat(GtkControl* c) {
    if (c->repeat) g_source_remove(c->repeat);
    c->repeat = 0;
}

gboolean OnUpDownDraw(GtkWidget* w, cairo_t* cr, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    const double width = c->rect.width, half = c->rect.height / 2.0;
    for (int part = 0; part < 2; ++part) {
        const double y = part == 0 ? 0 : std::floor(half);
        const double h = part == 0 ? std::floor(half) : c->rect.height - std::floor(half);
        const bool sunk = c->pressedHalf == (part == 0 ? 1 : -1);
        FillBox(cr, 0, y, width, h, kFace);
        Edge(cr, 0, y, width, h, sunk);
        const double cx = width / 2 + (sunk ? 0.5 : 0), cy = y + h / 2 + (sunk ? 0.5 : 0);
        const double a = std::min(3.0, std::floor(std::min(width, h) / 4));
        if (part == 0) {
            cairo_move_to(cr, cx - a - 0.5, cy + a / 2 + 0.5);
            cairo_line_to(cr, cx + a + 0.5, cy + a / 2 + 0.5);
            cairo_line_to(cr, cx, cy - a / 2 - 0.5);
        } else {
            cairo_move_to(cr, cx - a - 0.5, cy - a / 2 - 0.5);
            cairo_line_to(cr, cx + a + 0.5, cy - a / 2 - 0.5);
            cairo_line_to(cr, cx, cy + a / 2 + 0.5);
        }
        cairo_close_path(cr);
        SetColour(cr, c->enabled ? kText : kGreyText);
        cairo_fill(cr);
    }
    if (gtk_widget_has_focus(w)) {
        const double dash = 1;
        cairo_set_dash(cr, &dash, 1, 0);
        cairo_set_line_width(cr, 1);
        SetColour(cr, kText);
        cairo_rectangle(cr, 2.5, 2.5, width - 5, c->rect.height - 5);
        cairo_stroke(cr);
    }
    return TRUE;
}

gboolean OnUpDownPress(GtkWidget* w, GdkEventButton* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (e->button != 1 || e->type != GDK_BUTTON_PRESS || !c->enabled) return TRUE;
    gtk_widget_grab_focus(w);
    c->pressedHalf = e->y < c->rect.height / 2.0 ? 1 : -1;
    gtk_widget_queue_draw(w);
    StepUpDown(c, c->pressedHalf);
    StopUpDownRepeat(c);
    c->repeat = g_timeout_add(400, StartUpDownRepeat, c);
    return TRUE;
}

gboolean OnUpDownRelease(GtkWidget* w, GdkEventButton* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (e->button != 1) return TRUE;
    c->pressedHalf = 0;
    StopUpDownRepeat(c);
    gtk_widget_queue_draw(w);
    return TRUE;
}

gboolean OnUpDownKey(GtkWidget*, GdkEventKey* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (!c->enabled) return FALSE;
    if (e->keyval == GDK_KEY_Up) StepUpDown(c, 1);
    else if (e->keyval == GDK_KEY_Down) StepUpDown(c, -1);
    else return FALSE;
    return TRUE;
}

// ---- tabs --------------------------------------------------------------------------

gboolean OnTabsDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    PaintUnder(c, cr);
    for (int i = 0; i < c->tabCount; ++i) {
        DrawItem item;
        item.ctlType = ODT_TAB;
        item.ctlId = c->id;
        item.itemId = i;
        item.itemState = i == c->position ? ODS_SELECTED : 0;
        item.item = Rect{i * c->tabWidth, 0, c->tabWidth, c->tabHeight};
        item.target = AddTarget(cr, c->dialog, false);
        SendToOwner(c, WM_DRAWITEM, static_cast<WPARAM>(c->id), reinterpret_cast<LPARAM>(&item));
        DropTarget(item.target);
    }
    return TRUE;
}

void SelectTab(GtkControl* c, int tab) {
    if (tab < 0 || tab >= c->tabCount || tab == c->position) return;
    c->position = tab;
    gtk_widget_queue_draw(c->widget);
    NotifyHeader header{c->dialog->handle, c->id, TCN_SELCHANGE};
    SendToOwner(c, WM_NOTIFY, static_cast<WPARAM>(c->id), reinterpret_cast<LPARAM>(&header));
}

gboolean OnTabsPress(GtkWidget* w, GdkEventButton* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (e->button != 1 || e->type != GDK_BUTTON_PRESS || c->tabWidth <= 0) return TRUE;
    gtk_widget_grab_focus(w);
    if (e->y < c->tabHeight) SelectTab(c, static_cast<int>(e->x) / c->tabWidth);
    return TRUE;
}

gboolean OnTabsKey(GtkWidget*, GdkEventKey* e, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (e->keyval == GDK_KEY_Left) SelectTab(c, c->position - 1);
    else if (e->keyval == GDK_KEY_Right) SelectTab(c, c->position + 1);
    else return FALSE;
    return TRUE;
}

// ---- edit controls -----------------------------------------------------------------

void OnEditInsert(GtkEditable* editable, const gchar* text, gint length, gint*, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (!c->filter || c->programmatic) return;
    const std::string_view utf8(text, length < 0 ? std::strlen(text) : static_cast<std::size_t>(length));
    if (!c->filter(utf8)) {
        g_signal_stop_emission_by_name(editable, "insert-text");
        gdk_display_beep(gdk_display_get_default());
    }
}

void OnEditChanged(GtkEditable*, gpointer data) {
    GtkControl* c = static_cast<GtkControl*>(data);
    if (!c->programmatic) SendToOwner(c, WM_COMMAND, MakeWParam(c->id, EN_CHANGE), c->id);
}

void ApplyCss(GtkControl* c, const std::string& css) {
    if (!c->css) {
        c->css = gtk_css_provider_new();
        gtk_style_context_add_provider(gtk_widget_get_style_context(c->widget),
                                       GTK_STYLE_PROVIDER(c->css),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    gtk_css_provider_load_from_data(c->css, css.c_str(), -1, nullptr);
}

// An edit box fits its rectangle: the theme's padding and least height give way.
std::string EditCss(const std::string& font) {
    return "entry { min-height: 0; padding: 0 3px; border-radius: 0; " + font + "}";
}

// ---- the pump ----------------------------------------------------------------------

// Desktop events of our own windows and the music's notices are looked at this often;
// timers as they fall due.
constexpr std::uint32_t kPumpPeriod = 10;

bool PumpDue(PumpSource* p) {
    return MillisecondsToNextTimer() == 0 || TimeGetTime() - p->last >= kPumpPeriod;
}

gboolean PumpPrepare(GSource* source, gint* timeout) {
    PumpSource* p = reinterpret_cast<PumpSource*>(source);
    const int t = MillisecondsToNextTimer();
    const int left = static_cast<int>(kPumpPeriod) - static_cast<int>(TimeGetTime() - p->last);
    *timeout = std::max(0, t < 0 ? left : std::min(t, left));
    return PumpDue(p);
}

gboolean PumpCheck(GSource* source) { return PumpDue(reinterpret_cast<PumpSource*>(source)); }

gboolean PumpDispatch(GSource* source, GSourceFunc, gpointer) {
    PumpSource* p = reinterpret_cast<PumpSource*>(source);
    p->last = TimeGetTime();
    if (p->pump) p->pump();
    return G_SOURCE_CONTINUE;
}

GSourceFuncs g_pumpFuncs = {PumpPrepare, PumpCheck, PumpDispatch, nullptr, nullptr, nullptr};

void OnDocumentViewerEnded(GPid pid, gint status, gpointer data) {
    g_spawn_close_pid(pid);
    auto* path = static_cast<std::string*>(data);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Dialogs().ShowMessage(0, "orbsaver", "The help page could not be shown: " + *path,
                              MessageKind::kWarning);
    }
    delete path;
}

// A termination signal (the session ending, an interrupt) acts as Cancel on the
// outermost dialog: it ends the run cleanly, with nothing saved.
gboolean OnTerminationSignal(gpointer data) {
    const auto dialog = static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(data));
    SendMessage(dialog, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
    return G_SOURCE_CONTINUE;
}

gboolean OnDialogDelete(GtkWidget*, GdkEvent*, gpointer data) {
    // The window's close button and the window manager's close act as Cancel.
    SendMessage(static_cast<Pane*>(data)->handle, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED),
                0);
    return TRUE;
}

gboolean OnDialogKey(GtkWidget* window, GdkEventKey* e, gpointer data) {
    Pane* d = static_cast<Pane*>(data);
    if (e->keyval == GDK_KEY_Escape) {
        SendMessage(d->handle, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    if (e->keyval == GDK_KEY_Return || e->keyval == GDK_KEY_KP_Enter) {
        // A focused push button takes Enter itself; anywhere else it is OK.
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
        for (const auto& [h, dialog] : g_dialogs) {
            for (const auto& [id, c] : dialog->controls) {
                if (c->widget == focus && c->kind == ControlKind::kButton) return FALSE;
            }
        }
        SendMessage(d->handle, WM_COMMAND, MakeWParam(IDOK, BN_CLICKED), 0);
        return TRUE;
    }
    return FALSE;
}

class GtkDialogBackend : public DialogBackend {
public:
    bool Available() override { return EnsureGtk(); }

    bool ScreenSize(int* width, int* height) override { return PrimaryScreenSize(width, height); }

    double PixelScale() override {
        // GTK on X11 scales by whole numbers only.
        GdkMonitor* monitor = PrimaryMonitor();
        return monitor ? std::max(1, gdk_monitor_get_scale_factor(monitor)) : 1;
    }

    bool CreateDialog(WindowHandle handle, WindowHandle parent, const Rect& r) override {
        if (!EnsureGtk()) return false;
        Pane* p = parent ? FindDialog(parent) : nullptr;
        if (parent && !p) return false;
        auto* d = new Pane;
        d->handle = handle;
        d->parent = parent;
        d->rect = r;
        d->fixed = gtk_fixed_new();
        gtk_widget_set_size_request(d->fixed, r.width, r.height);
        g_signal_connect(d->fixed, "draw", G_CALLBACK(OnDialogDraw), d);
        if (p) {
            gtk_fixed_put(GTK_FIXED(p->fixed), d->fixed, r.x, r.y);
        } else {
            d->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
            gtk_window_set_title(GTK_WINDOW(d->window), "orbsaver");
            gtk_window_set_decorated(GTK_WINDOW(d->window), FALSE);
            gtk_window_set_resizable(GTK_WINDOW(d->window), FALSE);
            gtk_window_set_type_hint(GTK_WINDOW(d->window), GDK_WINDOW_TYPE_HINT_DIALOG);
            gtk_container_add(GTK_CONTAINER(d->window), d->fixed);
            gtk_window_move(GTK_WINDOW(d->window), r.x, r.y);
            g_signal_connect(d->window, "delete-event", G_CALLBACK(OnDialogDelete), d);
            g_signal_connect(d->window, "key-press-event", G_CALLBACK(OnDialogKey), d);
        }
        g_dialogs[handle] = d;
        return true;
    }

    void DestroyDialog(WindowHandle handle) override {
        Pane* d = FindDialog(handle);
        if (!d) return;
        for (auto& [id, c] : d->controls) {
            StopUpDownRepeat(c);
            if (c->css) g_object_unref(c->css);
            delete c;
        }
        d->controls.clear();
        Pane* parent = FindDialog(d->parent);
        if (d->window) {
            gtk_widget_destroy(d->window);
        } else if (parent) {
            gtk_widget_destroy(d->fixed);
        }
        if (d->loop && g_main_loop_is_running(d->loop)) g_main_loop_quit(d->loop);
        if (d->picture) cairo_surface_destroy(d->picture);
        g_dialogs.erase(handle);
        delete d;
        SettleGtk();
    }

    void MoveDialog(WindowHandle handle, const Rect& r) override {
        Pane* d = FindDialog(handle);
        if (!d) return;
        d->rect = r;
        gtk_widget_set_size_request(d->fixed, r.width, r.height);
        if (d->window) {
            gtk_window_move(GTK_WINDOW(d->window), r.x, r.y);
            gtk_window_resize(GTK_WINDOW(d->window), r.width, r.height);
        } else if (Pane* p = FindDialog(d->parent)) {
            gtk_fixed_move(GTK_FIXED(p->fixed), d->fixed, r.x, r.y);
        }
        Invalidate(handle);
    }

    void ShowDialog(WindowHandle handle, bool visible) override {
        Pane* d = FindDialog(handle);
        if (!d) return;
        GtkWidget* w = d->window ? d->window : d->fixed;
        if (visible) {
            gtk_widget_show(d->fixed);
            gtk_widget_show(w);
            if (d->window) gtk_window_present(GTK_WINDOW(d->window));
        } else {
            gtk_widget_hide(w);
        }
    }

    bool CreateControl(WindowHandle handle, int id, ControlKind kind, const Rect& r,
                       std::uint32_t style) override {
        Pane* d = FindDialog(handle);
        if (!d || d->controls.count(id)) return false;
        auto* c = new GtkControl;
        c->dialog = d;
        c->id = id;
        c->kind = kind;
        c->rect = r;
        c->style = style;
        c->order = static_cast<int>(d->controls.size());
        const int events = GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                           GDK_POINTER_MOTION_MASK | GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK;
        switch (kind) {
            case ControlKind::kEdit:
                c->widget = gtk_entry_new();
                gtk_entry_set_has_frame(GTK_ENTRY(c->widget), TRUE);
                gtk_entry_set_width_chars(GTK_ENTRY(c->widget), 1);
                g_signal_connect(c->widget, "insert-text", G_CALLBACK(OnEditInsert), c);
                g_signal_connect(c->widget, "changed", G_CALLBACK(OnEditChanged), c);
                ApplyCss(c, EditCss(""));
                break;
            case ControlKind::kNativeArea:
                c->widget = gtk_drawing_area_new();
                break;
            default:
                c->widget = gtk_drawing_area_new();
                gtk_widget_set_can_focus(c->widget, TRUE);
                gtk_widget_add_events(c->widget, events);
                break;
        }
        switch (kind) {
            case ControlKind::kButton:
            case ControlKind::kCheckBox:
            case ControlKind::kRadioButton:
                g_signal_connect(c->widget, "draw",
                                 kind == ControlKind::kButton ? G_CALLBACK(OnButtonDraw)
                                                              : G_CALLBACK(OnCheckDraw),
                                 c);
                g_signal_connect(c->widget, "button-press-event", G_CALLBACK(OnButtonPress), c);
                g_signal_connect(c->widget, "button-release-event", G_CALLBACK(OnButtonRelease), c);
                g_signal_connect(c->widget, "motion-notify-event", G_CALLBACK(OnButtonMotion), c);
                g_signal_connect(c->widget, "key-press-event", G_CALLBACK(OnButtonKey), c);
                g_signal_connect(c->widget, "key-release-event", G_CALLBACK(OnButtonKey), c);
                break;
            case ControlKind::kTrackbar:
                g_signal_connect(c->widget, "draw", G_CALLBACK(OnSliderDraw), c);
                g_signal_connect(c->widget, "button-press-event", G_CALLBACK(OnSliderPress), c);
                g_signal_connect(c->widget, "button-release-event", G_CALLBACK(OnSliderRelease), c);
                g_signal_connect(c->widget, "motion-notify-event", G_CALLBACK(OnSliderMotion), c);
                g_signal_connect(c->widget, "key-press-event", G_CALLBACK(OnSliderKey), c);
                break;
            case ControlKind::kUpDown:
                c->minimum = 100;  // as Windows starts one: from 100 down to 0
                c->maximum = 0;
                g_signal_connect(c->widget, "draw", G_CALLBACK(OnUpDownDraw), c);
                g_signal_connect(c->widget, "button-press-event", G_CALLBACK(OnUpDownPress), c);
                g_signal_connect(c->widget, "button-release-event", G_CALLBACK(OnUpDownRelease), c);
                g_signal_connect(c->widget, "key-press-event", G_CALLBACK(OnUpDownKey), c);
                break;
            case ControlKind::kTabControl:
                c->minimum = 0;
                c->maximum = 0;
                g_signal_connect(c->widget, "draw", G_CALLBACK(OnTabsDraw), c);
                g_signal_connect(c->widget, "button-press-event", G_CALLBACK(OnTabsPress), c);
                g_signal_connect(c->widget, "key-press-event", G_CALLBACK(OnTabsKey), c);
                break;
            default:
                break;
        }
        d->controls[id] = c;
        gtk_fixed_put(GTK_FIXED(d->fixed), c->widget, r.x, r.y);
        Size(c);
        gtk_widget_show(c->widget);
        return true;
    }

    void MoveControl(WindowHandle dialog, int id, const Rect& r) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c) return;
        c->rect = r;
        gtk_fixed_move(GTK_FIXED(c->dialog->fixed), c->widget, r.x, r.y);
        Size(c);
    }

    void EnableControl(WindowHandle dialog, int id, bool enabled) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c || c->enabled == enabled) return;
        c->enabled = enabled;
        if (!enabled) {
            c->pressed = c->mouseDown = c->dragging = false;
            c->pressedHalf = 0;
            StopUpDownRepeat(c);
        }
        gtk_widget_set_sensitive(c->widget, enabled);
        gtk_widget_queue_draw(c->widget);
    }

    bool IsControlEnabled(WindowHandle dialog, int id) override {
        GtkControl* c = FindControl(dialog, id);
        return c && c->enabled;
    }

    void ShowControl(WindowHandle dialog, int id, bool visible) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c) return;
        if (visible) {
            gtk_widget_show(c->widget);
        } else {
            gtk_widget_hide(c->widget);
        }
    }

    bool IsControlVisible(WindowHandle dialog, int id) override {
        GtkControl* c = FindControl(dialog, id);
        return c && gtk_widget_get_visible(c->widget);
    }

    void SetCheck(WindowHandle dialog, int id, int checked) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c) return;
        if (c->kind == ControlKind::kRadioButton && checked) {
            // The others of its group lose their mark.
            for (GtkControl* other : Group(c)) {
                if (other != c && other->check) {
                    other->check = 0;
                    gtk_widget_queue_draw(other->widget);
                }
            }
        }
        c->check = checked ? 1 : 0;
        gtk_widget_queue_draw(c->widget);
    }

    int GetCheck(WindowHandle dialog, int id) override {
        GtkControl* c = FindControl(dialog, id);
        return c ? c->check : 0;
    }

    void SetRange(WindowHandle dialog, int id, int minimum, int maximum) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c) return;
        c->minimum = minimum;
        c->maximum = maximum;
        const int low = std::min(minimum, maximum), high = std::max(minimum, maximum);
        c->position = std::clamp(c->position, low, high);
        gtk_widget_queue_draw(c->widget);
    }

    void SetPosition(WindowHandle dialog, int id, int position) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c) return;
        const int low = std::min(c->minimum, c->maximum), high = std::max(c->minimum, c->maximum);
        c->position = std::clamp(position, low, high);
        gtk_widget_queue_draw(c->widget);
    }

    int GetPosition(WindowHandle dialog, int id) override {
        GtkControl* c = FindControl(dialog, id);
        return c ? c->position : 0;
    }

    void SetTicks(WindowHandle dialog, int id, int frequency, int extraTick) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c) return;
        c->tickFrequency = frequency;
        c->extraTick = extraTick;
        gtk_widget_queue_draw(c->widget);
    }

    void SetTabs(WindowHandle dialog, int id, int count, int width, int height) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c) return;
        c->tabCount = count;
        c->tabWidth = width;
        c->tabHeight = height;
        c->maximum = count > 0 ? count - 1 : 0;
        c->position = std::clamp(c->position, 0, c->maximum);
        Size(c);
    }

    void SetText(WindowHandle dialog, int id, const std::string& utf8) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c || c->kind != ControlKind::kEdit) return;
        c->programmatic = true;
        gtk_entry_set_text(GTK_ENTRY(c->widget), utf8.c_str());
        c->programmatic = false;
    }

    std::string GetText(WindowHandle dialog, int id) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c || c->kind != ControlKind::kEdit) return {};
        return gtk_entry_get_text(GTK_ENTRY(c->widget));
    }

    void SetTextLimit(WindowHandle dialog, int id, int characters) override {
        GtkControl* c = FindControl(dialog, id);
        if (c && c->kind == ControlKind::kEdit) gtk_entry_set_max_length(GTK_ENTRY(c->widget), characters);
    }

    void SetControlFont(WindowHandle dialog, int id, const FontDescription& font) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c || c->kind != ControlKind::kEdit) return;
        std::string css;
        if (!font.face.empty()) {
            std::string face;
            for (char ch : font.face) {
                if (ch == '"' || ch == '\\') face += '\\';
                face += ch;
            }
            css += "font-family: \"" + face + "\"; ";
        }
        // A negative height is the characters' own height; a positive one the cell's,
        // of which the characters take about four fifths.
        const int pixels = font.height < 0 ? -font.height : font.height * 4 / 5;
        if (pixels > 0) css += "font-size: " + std::to_string(std::min(pixels, 400)) + "px; ";
        if (font.weight > 0) {
            css += "font-weight: " + std::to_string(std::clamp((font.weight + 50) / 100 * 100, 100, 900)) + "; ";
        }
        css += font.italic ? "font-style: italic; " : "font-style: normal; ";
        ApplyCss(c, EditCss(css));
    }

    void SetInsertFilter(WindowHandle dialog, int id,
                            std::function<bool(std::string_view)> accept) override {
        if (GtkControl* c = FindControl(dialog, id)) c->filter = std::move(accept);
    }

    std::uint64_t NativeWindowId(WindowHandle dialog, int id) override {
        GtkControl* c = FindControl(dialog, id);
        if (!c || c->kind != ControlKind::kNativeArea) return 0;
        gtk_widget_realize(c->widget);
        GdkWindow* w = gtk_widget_get_window(c->widget);
        if (!w || !GDK_IS_X11_WINDOW(w) || !gdk_window_ensure_native(w)) return 0;
        gdk_display_flush(gdk_window_get_display(w));
        return gdk_x11_window_get_xid(w);
    }

    void RedrawControl(WindowHandle dialog, int id) override {
        if (GtkControl* c = FindControl(dialog, id)) gtk_widget_queue_draw(c->widget);
    }

    void Invalidate(WindowHandle dialog) override {
        Pane* d = FindDialog(dialog);
        if (!d) return;
        d->invalid = true;
        if (!d->inPaint) gtk_widget_queue_draw(d->fixed);
    }

    DrawTarget BeginPaint(WindowHandle dialog) override {
        Pane* d = FindDialog(dialog);
        if (!d) return 0;
        cairo_t* cr = cairo_create(Picture(d));
        d->invalid = false;
        return AddTarget(cr, d, true);
    }

    void EndPaint(WindowHandle, DrawTarget target) override { Release(target); }

    DrawTarget GetDC(WindowHandle dialog) override {
        Pane* d = FindDialog(dialog);
        if (!d) return 0;
        return AddTarget(cairo_create(Picture(d)), d, true);
    }

    void ReleaseDC(WindowHandle, DrawTarget target) override { Release(target); }

    bool DrawPicture(DrawTarget target, std::span<const std::byte> bmp, const Rect& dst) override {
        cairo_t* cr = TargetCairo(target);
        if (!cr) return false;
        GdkPixbuf* p = DecodePicture(bmp);
        if (!p) return false;
        const int pw = gdk_pixbuf_get_width(p), ph = gdk_pixbuf_get_height(p);
        cairo_save(cr);
        cairo_translate(cr, dst.x, dst.y);
        cairo_scale(cr, static_cast<double>(dst.width) / pw, static_cast<double>(dst.height) / ph);
        gdk_cairo_set_source_pixbuf(cr, p, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_rectangle(cr, 0, 0, pw, ph);
        cairo_fill(cr);
        cairo_restore(cr);
        g_object_unref(p);
        return true;
    }

    void FillRect(DrawTarget target, const Rect& r, std::uint32_t colorref) override {
        if (cairo_t* cr = TargetCairo(target)) FillBox(cr, r.x, r.y, r.width, r.height, colorref);
    }

    void DrawText(DrawTarget target, int x, int y, const std::string& utf8, const Font* font,
                  std::uint32_t colorref) override {
        cairo_t* cr = TargetCairo(target);
        if (!cr) return;
        PaintTextImage(cr, x, y, (font ? *font : DefaultFont()).Render(utf8, colorref));
    }

    void Beep() override {
        if (GdkDisplay* display = gdk_display_get_default()) gdk_display_beep(display);
    }

    void SetWaitCursor(WindowHandle dialog, bool wait) override {
        GtkWindow* top = DialogToplevel(dialog);
        GdkWindow* w = top ? gtk_widget_get_window(GTK_WIDGET(top)) : nullptr;
        if (!w) return;
        GdkCursor* cursor = wait ? gdk_cursor_new_from_name(gdk_window_get_display(w), "wait") : nullptr;
        gdk_window_set_cursor(w, cursor);
        if (cursor) g_object_unref(cursor);
        gdk_display_flush(gdk_window_get_display(w));
    }

    void RunModal(WindowHandle dialog, void (*pump)()) override {
        Pane* d = FindDialog(dialog);
        if (!d) return;
        if (!g_pump) {
            g_pump = reinterpret_cast<PumpSource*>(g_source_new(&g_pumpFuncs, sizeof(PumpSource)));
            g_pump->last = TimeGetTime();
            // Below GTK's own layout and drawing, which must not wait for the preview.
            g_source_set_priority(&g_pump->source, G_PRIORITY_DEFAULT_IDLE);
            g_source_attach(&g_pump->source, nullptr);
        }
        void (*outer)() = g_pump->pump;
        g_pump->pump = pump;
        // Installed now, after whatever the preview started, so that they are the ones
        // the signals reach.
        std::vector<guint> signals;
        if (g_modalDepth == 0) {
            void* data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(dialog));
            for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
                signals.push_back(g_unix_signal_add(sig, OnTerminationSignal, data));
            }
        }
        ++g_modalDepth;
        d->loop = g_main_loop_new(nullptr, FALSE);
        GMainLoop* loop = d->loop;
        g_main_loop_run(loop);
        if (Pane* still = FindDialog(dialog)) still->loop = nullptr;
        g_main_loop_unref(loop);
        --g_modalDepth;
        for (guint id : signals) g_source_remove(id);
        g_pump->pump = outer;
        if (g_modalDepth == 0) {
            g_source_destroy(&g_pump->source);
            g_source_unref(&g_pump->source);
            g_pump = nullptr;
        }
    }

    void EndModal(WindowHandle dialog) override {
        Pane* d = FindDialog(dialog);
        if (d && d->loop && g_main_loop_is_running(d->loop)) g_main_loop_quit(d->loop);
    }

    bool ChooseOpenFile(WindowHandle owner, const FileChooser& chooser, std::string* path) override {
        if (!EnsureGtk()) return false;
        GtkWidget* dialog = gtk_file_chooser_dialog_new(
            chooser.title.c_str(), DialogToplevel(owner), GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
            GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
        const auto addFilter = [&](const std::string& name, const std::string& patterns) {
            GtkFileFilter* filter = gtk_file_filter_new();
            gtk_file_filter_set_name(filter, name.c_str());
            std::size_t start = 0;
            while (start <= patterns.size()) {
                const std::size_t end = patterns.find(';', start);
                const std::string pattern =
                    patterns.substr(start, end == std::string::npos ? std::string::npos : end - start);
                if (!pattern.empty()) AddCaseFreePattern(filter, pattern);
                if (end == std::string::npos) break;
                start = end + 1;
            }
            gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);
        };
        if (!chooser.firstFilterName.empty()) addFilter(chooser.firstFilterName, chooser.firstFilterPattern);
        addFilter(chooser.filterName, chooser.filterPattern);
        if (!chooser.initialPath.empty()) {
            if (g_file_test(chooser.initialPath.c_str(), G_FILE_TEST_IS_REGULAR)) {
                gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(dialog), chooser.initialPath.c_str());
            } else if (g_file_test(chooser.initialPath.c_str(), G_FILE_TEST_IS_DIR)) {
                gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog),
                                                    chooser.initialPath.c_str());
            } else {
                gchar* folder = g_path_get_dirname(chooser.initialPath.c_str());
                if (g_file_test(folder, G_FILE_TEST_IS_DIR)) {
                    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder);
                }
                g_free(folder);
            }
        }
        bool chosen = false;
        if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
            if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
                // The chooser offers only files that exist; one may be gone since.
                chosen = g_file_test(name, G_FILE_TEST_IS_REGULAR);
                if (chosen) *path = name;
                g_free(name);
            }
        }
        gtk_widget_destroy(dialog);
        Settle();
        return chosen;
    }

    bool ChooseFont(WindowHandle owner, FontChoice& choice) override;
    bool ChooseColor(WindowHandle owner, ColorChoice& choice) override;

    void ShowMessage(WindowHandle owner, const std::string& title, const std::string& text,
                     MessageKind kind) override {
        // Runs without a desktop, and tests, see the box's words on stderr.
        Report(title + ": " + text);
        if (std::getenv("ORBSAVER_NO_MESSAGE_BOXES") || !EnsureGtk()) return;
        const GtkMessageType type = kind == MessageKind::kError     ? GTK_MESSAGE_ERROR
                                    : kind == MessageKind::kWarning ? GTK_MESSAGE_WARNING
                                                                    : GTK_MESSAGE_INFO;
        GtkWidget* box = gtk_message_dialog_new(DialogToplevel(owner), GTK_DIALOG_MODAL, type,
                                                GTK_BUTTONS_OK, "%s", text.c_str());
        gtk_window_set_title(GTK_WINDOW(box), title.c_str());
        gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
        gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
        Settle();
    }

    bool OpenDocument(WindowHandle, const std::string& path) override {
        if (!g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR)) return false;
        // The viewer is started without a shell, and reaped when it ends.
        gchar* argv[] = {const_cast<gchar*>("xdg-open"), const_cast<gchar*>(path.c_str()), nullptr};
        GPid pid = 0;
        if (!g_spawn_async(nullptr, argv, nullptr,
                           static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                           nullptr, nullptr, &pid, nullptr)) {
            return false;
        }
        g_child_watch_add(pid, OnDocumentViewerEnded, new std::string(path));
        return true;
    }

private:
    static void Settle() { SettleGtk(); }

    static void Release(DrawTarget target) {
        auto it = g_targets.find(target);
        if (it == g_targets.end()) return;
        Pane* d = it->second.dialog;
        DropTarget(target);
        if (d && !d->inPaint) gtk_widget_queue_draw(d->fixed);
    }

    // "*.x" matches "model.X" too: Windows names compare without regard to case.
    static void AddCaseFreePattern(GtkFileFilter* filter, const std::string& pattern) {
        std::string free;
        for (char ch : pattern) {
            if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) {
                const char lower = static_cast<char>(ch | 0x20), upper = static_cast<char>(ch & ~0x20);
                free += '[';
                free += lower;
                free += upper;
                free += ']';
            } else {
                free += ch;
            }
        }
        gtk_file_filter_add_pattern(filter, free.c_str());
    }

    // The radio buttons of c's group: from the last group start at or before it, in
    // the order they were made, to the next group start.
    static std::vector<GtkControl*> Group(GtkControl* c) {
        std::vector<GtkControl*> ordered;
        for (auto& [id, other] : c->dialog->controls) {
            if (other->kind == ControlKind::kRadioButton) ordered.push_back(other);
        }
        std::sort(ordered.begin(), ordered.end(),
                  [](const GtkControl* a, const GtkControl* b) { return a->order < b->order; });
        std::vector<GtkControl*> group;
        for (GtkControl* other : ordered) {
            if (other->style & kStyleGroup) {
                if (std::find(group.begin(), group.end(), c) != group.end()) break;
                group.clear();
            }
            group.push_back(other);
        }
        if (std::find(group.begin(), group.end(), c) == group.end()) group = {c};
        return group;
    }

    static void Size(GtkControl* c) {
        int w = c->rect.width, h = c->rect.height;
        if (c->kind == ControlKind::kTabControl) {
            if (c->tabCount > 0) w = std::min(w, c->tabCount * c->tabWidth);
            h = std::min(h, c->tabHeight > 0 ? c->tabHeight : 34);
        }
        gtk_widget_set_size_request(c->widget, std::max(1, w), std::max(1, h));
    }
};

// ---- the font and colour choosers ---------------------------------------------------

// Sizes in GTK's font chooser are points at the screen's resolution; the stored
// heights are pixels.
double ScreenDpi() {
    GdkScreen* screen = gdk_screen_get_default();
    const double dpi = screen ? gdk_screen_get_resolution(screen) : -1;
    return dpi > 0 ? dpi : 96.0;
}

PangoFontDescription* ToPango(const FontDescription& f) {
    PangoFontDescription* p = pango_font_description_new();
    pango_font_description_set_family(p, f.face.empty() ? "Sans" : f.face.c_str());
    const int pixels = f.height < 0 ? -f.height : (f.height > 0 ? f.height * 4 / 5 : 16);
    pango_font_description_set_size(
        p, static_cast<gint>(std::lround(pixels * 72.0 / ScreenDpi() * PANGO_SCALE)));
    const int weight = f.weight > 0 ? std::clamp(f.weight, 100, 1000) : 400;
    pango_font_description_set_weight(p, static_cast<PangoWeight>(weight));
    pango_font_description_set_style(p, f.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return p;
}

void FromPango(const PangoFontDescription* p, FontDescription& f) {
    if (const char* family = pango_font_description_get_family(p)) f.face = family;
    const double size = pango_font_description_get_size(p) / static_cast<double>(PANGO_SCALE);
    const double pixels = pango_font_description_get_size_is_absolute(p) ? size
                                                                         : size * ScreenDpi() / 72.0;
    f.height = -std::max(1, static_cast<int>(std::lround(pixels)));
    f.weight = pango_font_description_get_weight(p);
    const PangoStyle style = pango_font_description_get_style(p);
    f.italic = style == PANGO_STYLE_ITALIC || style == PANGO_STYLE_OBLIQUE;
}

GdkRGBA ToRgba(std::uint32_t c) {
    return GdkRGBA{(c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0, 1.0};
}

std::uint32_t FromRgba(const GdkRGBA& c) {
    auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    return byte(c.red) | (byte(c.green) << 8) | (byte(c.blue) << 16);
}

bool GtkDialogBackend::ChooseFont(WindowHandle owner, FontChoice& choice) {
    if (!EnsureGtk()) return false;
    // GTK's font chooser, with the colour and the effects of the Windows font dialog.
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Font", DialogToplevel(owner), GTK_DIALOG_MODAL,
                                                    "_Cancel", GTK_RESPONSE_CANCEL, "_OK",
                                                    GTK_RESPONSE_OK, nullptr);
    GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    GtkWidget* chooser = gtk_font_chooser_widget_new();
    if (choice.offerFont) {
        PangoFontDescription* p = ToPango(choice.font);
        gtk_font_chooser_set_font_desc(GTK_FONT_CHOOSER(chooser), p);
        pango_font_description_free(p);
    }
    gtk_box_pack_start(GTK_BOX(box), chooser, TRUE, TRUE, 0);
    GtkWidget* effects = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    GtkWidget* strike = gtk_check_button_new_with_mnemonic("Stri_keout");
    GtkWidget* underline = gtk_check_button_new_with_mnemonic("_Underline");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(strike), choice.font.strikeOut);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(underline), choice.font.underline);
    const GdkRGBA rgba = ToRgba(choice.color);
    GtkWidget* colour = gtk_color_button_new_with_rgba(&rgba);
    gtk_box_pack_start(GTK_BOX(effects), strike, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(effects), underline, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(effects), gtk_label_new_with_mnemonic("_Colour:"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(effects), colour, FALSE, FALSE, 0);
    gtk_container_set_border_width(GTK_CONTAINER(effects), 6);
    gtk_box_pack_start(GTK_BOX(box), effects, FALSE, FALSE, 0);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 480, 520);
    gtk_widget_show_all(dialog);
    bool chosen = false;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        if (PangoFontDescription* p = gtk_font_chooser_get_font_desc(GTK_FONT_CHOOSER(chooser))) {
            FromPango(p, choice.font);
            pango_font_description_free(p);
            choice.font.strikeOut = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(strike));
            choice.font.underline = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(underline));
            GdkRGBA picked;
            gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(colour), &picked);
            choice.color = FromRgba(picked);
            chosen = true;
        }
    }
    gtk_widget_destroy(dialog);
    Settle();
    return chosen;
}

bool GtkDialogBackend::ChooseColor(WindowHandle owner, ColorChoice& choice) {
    if (!EnsureGtk()) return false;
    // The basic colours of the Windows colour dialog, then the user's custom ones.
    static const std::uint32_t kBasic[48] = {
        0x8080FF, 0x80FFFF, 0x80FF80, 0x80FF00, 0xFFFF80, 0xFF8000, 0xC080FF, 0xFF80FF,
        0x0000FF, 0x00FFFF, 0x00FF80, 0x40FF00, 0xFFFF00, 0xC08000, 0xC08080, 0xFF00FF,
        0x404080, 0x4080FF, 0x00FF00, 0x808000, 0x804000, 0xFF8080, 0x400080, 0x8000FF,
        0x000080, 0x0080FF, 0x008000, 0x408000, 0xFF0000, 0xA00000, 0x800080, 0xFF0080,
        0x000040, 0x004080, 0x004000, 0x404000, 0x800000, 0x400000, 0x400040, 0x800040,
        0x000000, 0x008080, 0x408080, 0x808080, 0x808040, 0xC0C0C0, 0x400040, 0xFFFFFF};
    GtkWidget* dialog = gtk_color_chooser_dialog_new("Color", DialogToplevel(owner));
    GdkRGBA basic[48], custom[16];
    for (int i = 0; i < 48; ++i) basic[i] = ToRgba(kBasic[i]);
    for (int i = 0; i < 16; ++i) custom[i] = ToRgba(choice.custom[i]);
    gtk_color_chooser_add_palette(GTK_COLOR_CHOOSER(dialog), GTK_ORIENTATION_HORIZONTAL, 8, 48, basic);
    gtk_color_chooser_add_palette(GTK_COLOR_CHOOSER(dialog), GTK_ORIENTATION_HORIZONTAL, 8, 16, custom);
    const GdkRGBA initial = ToRgba(choice.color);
    gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(dialog), &initial);
    gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(dialog), FALSE);
    bool chosen = false;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        GdkRGBA picked;
        gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(dialog), &picked);
        choice.color = FromRgba(picked);
        // A colour of the user's own (not among the offered ones) joins the custom
        // colours at their front, as adding it to them does on Windows.
        bool offered = false;
        for (std::uint32_t b : kBasic) offered = offered || b == choice.color;
        for (std::uint32_t c : choice.custom) offered = offered || c == choice.color;
        if (!offered) {
            for (int i = 15; i > 0; --i) choice.custom[i] = choice.custom[i - 1];
            choice.custom[0] = choice.color;
        }
        chosen = true;
    }
    gtk_widget_destroy(dialog);
    Settle();
    return chosen;
}

}  // namespace

GtkWindow* DialogToplevel(WindowHandle dialog) {
    for (Pane* d = FindDialog(dialog); d; d = FindDialog(d->parent)) {
        if (d->window) return GTK_WINDOW(d->window);
    }
    return nullptr;
}

std::unique_ptr<DialogBackend> CreateGtkDialogBackend() {
    return std::make_unique<GtkDialogBackend>();
}

}  // namespace platform
