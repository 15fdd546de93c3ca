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
#include "platform/dialog/dialog_gtk_parts.h"
#include "platform/dialog/gtk_common.h"
#include "platform/dialog/picture_dialog.h"
#include "platform/report/report.h"
#include "platform/text/text.h"

namespace platform {

namespace gtk_dialog {

namespace {
std::map<WindowHandle, Pane*> g_dialogs;
std::map<DrawTarget, Target> g_targets;
DrawTarget g_nextTarget = 1;
PumpSource* g_pump = nullptr;
int g_modalDepth = 0;
}  // namespace

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

    bool ScreenSize(int* width, int* height) override { return GtkPrimaryScreenSize(width, height); }

    double PixelScale() override {
        // GTK on X11 scales by whole numbers only.
        GdkMonitor* monitor = PrimaryMonitor();
        return monitor ? std::max(1, gdk_monitor_get_scale_factor(monitor)) : 1;
    }

    bool CreateDialog(WindowHandle handle, WindowHandle parent, const Rect& r,
                      int /*templateId*/) override {
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

    bool ChooseFont(WindowHandle owner, FontChoice& choice) override {
        return RunFontChooser(owner, choice);
    }
    bool ChooseColor(WindowHandle owner, ColorChoice& choice) override {
        return RunColorChooser(owner, choice);
    }

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

}  // namespace gtk_dialog

GtkWindow* DialogToplevel(WindowHandle dialog) {
    using gtk_dialog::FindDialog;
    for (gtk_dialog::Pane* d = FindDialog(dialog); d; d = FindDialog(d->parent)) {
        if (d->window) return GTK_WINDOW(d->window);
    }
    return nullptr;
}

std::unique_ptr<DialogBackend> MakeGtkDialogBackend() {
    return std::make_unique<gtk_dialog::GtkDialogBackend>();
}

}  // namespace platform
