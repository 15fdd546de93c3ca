// The picture dialog on GTK 3, which is started only when a dialog is shown.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "platform/dialog/gtk_common.h"
#include "platform/dialog/message_box.h"
#include "platform/dialog/picture_dialog.h"
#include "platform/report/report.h"

namespace platform {

namespace {

GdkPixbuf* Decode(std::span<const std::byte> bytes) {
    if (bytes.empty()) return nullptr;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GdkPixbuf* pixbuf = nullptr;
    if (gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()),
                                bytes.size(), nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
        if (pixbuf) g_object_ref(pixbuf);
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return pixbuf;
}

struct State {
    const PictureDialog* d = nullptr;
    GdkPixbuf* face = nullptr;
    GdkPixbuf* icon = nullptr;
    GdkPixbuf* up = nullptr;
    GdkPixbuf* down = nullptr;
    GtkWidget* area = nullptr;
    GMainLoop* loop = nullptr;
    bool pressed = false;   // the button shows its pressed picture
    bool mouseDown = false;
    bool done = false;
    bool mapped = false;
};

bool InButton(const State& s, double x, double y) {
    const PictureDialog& d = *s.d;
    return x >= d.buttonX && y >= d.buttonY && x < d.buttonX + d.buttonWidth &&
           y < d.buttonY + d.buttonHeight;
}

void Finish(State& s) {
    s.done = true;
    if (g_main_loop_is_running(s.loop)) g_main_loop_quit(s.loop);
}

void DrawStretched(cairo_t* cr, GdkPixbuf* p, int x, int y, int w, int h) {
    if (!p) return;
    const int pw = gdk_pixbuf_get_width(p), ph = gdk_pixbuf_get_height(p);
    if (pw <= 0 || ph <= 0) return;
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, static_cast<double>(w) / pw, static_cast<double>(h) / ph);
    gdk_cairo_set_source_pixbuf(cr, p, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    State& s = *static_cast<State*>(data);
    const PictureDialog& d = *s.d;
    if (s.face) {
        gdk_cairo_set_source_pixbuf(cr, s.face, 0, 0);
        cairo_paint(cr);
    } else {
        gdk_display_beep(gtk_widget_get_display(widget));
    }
    DrawStretched(cr, s.icon, d.iconX, d.iconY, d.iconWidth, d.iconHeight);
    DrawStretched(cr, s.pressed ? s.down : s.up, d.buttonX, d.buttonY, d.buttonWidth,
                  d.buttonHeight);
    return TRUE;
}

void SetPressed(State& s, bool pressed) {
    if (s.pressed == pressed) return;
    s.pressed = pressed;
    gtk_widget_queue_draw(s.area);
}

gboolean OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer data) {
    State& s = *static_cast<State*>(data);
    if (e->button == 1 && e->type == GDK_BUTTON_PRESS && InButton(s, e->x, e->y)) {
        s.mouseDown = true;
        SetPressed(s, true);
    }
    return TRUE;
}

gboolean OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer data) {
    State& s = *static_cast<State*>(data);
    if (e->button != 1 || !s.mouseDown) return TRUE;
    s.mouseDown = false;
    SetPressed(s, false);
    if (InButton(s, e->x, e->y)) Finish(s);
    return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
    State& s = *static_cast<State*>(data);
    if (s.mouseDown) SetPressed(s, InButton(s, e->x, e->y));
    return TRUE;
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* e, gpointer data) {
    State& s = *static_cast<State*>(data);
    if (e->keyval == GDK_KEY_space) SetPressed(s, true);
    if (e->keyval == GDK_KEY_Return || e->keyval == GDK_KEY_KP_Enter) Finish(s);
    return TRUE;  // Escape and everything else do nothing
}

gboolean OnKeyRelease(GtkWidget*, GdkEventKey* e, gpointer data) {
    State& s = *static_cast<State*>(data);
    if (e->keyval == GDK_KEY_space && s.pressed) {
        SetPressed(s, false);
        Finish(s);
    }
    return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

gboolean OnMap(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<State*>(data)->mapped = true;
    return FALSE;
}

// Runs GTK's loop until the condition holds or the time is up.
template <typename Condition>
bool WaitFor(Condition condition, int milliseconds) {
    const gint64 end = g_get_monotonic_time() + milliseconds * G_GINT64_CONSTANT(1000);
    while (!condition()) {
        if (g_get_monotonic_time() >= end) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(5000);
    }
    return true;
}

constexpr int kGrabPatienceMilliseconds = 1000;

// Takes the keyboard and pointer over from the window that holds them, once the
// dialog is on the screen: the moment between the two grabs is as short as can be.
bool TakeInputOver(State& s, GtkWidget* window) {
    if (!WaitFor([&] { return s.mapped; }, kGrabPatienceMilliseconds)) return false;
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(window));
    if (!gdkWindow || !seat) return false;
    GrabInput(s.d->takeInputFrom, false);
    return WaitFor(
        [&] {
            return gdk_seat_grab(seat, gdkWindow, GDK_SEAT_CAPABILITY_ALL, TRUE, nullptr, nullptr,
                                 nullptr, nullptr) == GDK_GRAB_SUCCESS;
        },
        kGrabPatienceMilliseconds);
}

}  // namespace

bool EnsureGtk() {
    static const bool ok = [] {
        // The previews inside GTK's windows are X windows: GTK must draw on X11 too,
        // also where the session offers Wayland.
        gdk_set_allowed_backends("x11");
        return gtk_init_check(nullptr, nullptr) != FALSE;
    }();
    return ok;
}

void SettleGtk() {
    for (int i = 0; i < 64 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
}

void GtkShowMessageBox(const std::string& title, const std::string& text, MessageBoxKind kind) {
    if (!EnsureGtk()) return;
    const GtkMessageType type = kind == MessageBoxKind::kError     ? GTK_MESSAGE_ERROR
                                : kind == MessageBoxKind::kWarning ? GTK_MESSAGE_WARNING
                                                                   : GTK_MESSAGE_INFO;
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type, GTK_BUTTONS_OK, "%s",
                                            text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), title.c_str());
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    SettleGtk();
}

GdkMonitor* PrimaryMonitor() {
    if (!EnsureGtk()) return nullptr;
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display) monitor = gdk_display_get_monitor(display, 0);
    return monitor;
}

bool GtkPrimaryScreenSize(int* width, int* height) {
    GdkMonitor* monitor = PrimaryMonitor();
    if (!monitor) return false;
    GdkRectangle r;
    gdk_monitor_get_geometry(monitor, &r);
    *width = r.width;
    *height = r.height;
    return true;
}

bool GtkRunPictureDialog(const PictureDialog& d) {
    if (!EnsureGtk()) return false;
    State s;
    s.d = &d;
    s.face = Decode(d.face);
    s.icon = Decode(d.icon);
    s.up = Decode(d.buttonUp);
    s.down = Decode(d.buttonDown);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    if (GtkWindow* owner = DialogToplevel(d.owner)) {
        gtk_window_set_transient_for(GTK_WINDOW(window), owner);
        gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    }
    gtk_window_set_default_size(GTK_WINDOW(window), d.width, d.height);
    gtk_window_move(GTK_WINDOW(window), d.x, d.y);
    s.area = gtk_drawing_area_new();
    gtk_widget_set_size_request(s.area, d.width, d.height);
    gtk_widget_set_can_focus(s.area, TRUE);
    gtk_widget_add_events(s.area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                      GDK_POINTER_MOTION_MASK | GDK_KEY_PRESS_MASK |
                                      GDK_KEY_RELEASE_MASK);
    gtk_container_add(GTK_CONTAINER(window), s.area);
    g_signal_connect(s.area, "draw", G_CALLBACK(OnDraw), &s);
    g_signal_connect(s.area, "button-press-event", G_CALLBACK(OnButtonPress), &s);
    g_signal_connect(s.area, "button-release-event", G_CALLBACK(OnButtonRelease), &s);
    g_signal_connect(s.area, "motion-notify-event", G_CALLBACK(OnMotion), &s);
    g_signal_connect(s.area, "key-press-event", G_CALLBACK(OnKeyPress), &s);
    g_signal_connect(s.area, "key-release-event", G_CALLBACK(OnKeyRelease), &s);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), &s);
    g_signal_connect(window, "map-event", G_CALLBACK(OnMap), &s);
    gtk_widget_show_all(window);
    gtk_window_present(GTK_WINDOW(window));
    gtk_widget_grab_focus(s.area);

    GdkDisplay* display = gtk_widget_get_display(window);
    GdkSeat* seat = gdk_display_get_default_seat(display);
    bool shown = true;
    if (d.takeInputFrom && !TakeInputOver(s, window)) {
        // A box that gets no key and no click could never be closed.
        Report("orbsaver: the dialog cannot have the keyboard and pointer, so it is not shown");
        shown = false;
    }
    if (shown && seat) {
        if (GdkDevice* pointer = gdk_seat_get_pointer(seat)) {
            gdk_device_warp(pointer, gdk_display_get_default_screen(display), d.cursorX,
                            d.cursorY);
        }
    }

    s.loop = g_main_loop_new(nullptr, FALSE);
    if (shown && !s.done) g_main_loop_run(s.loop);
    g_main_loop_unref(s.loop);
    if (d.takeInputFrom && seat) gdk_seat_ungrab(seat);
    gtk_widget_destroy(window);
    SettleGtk();
    gdk_display_sync(display);
    for (GdkPixbuf* p : {s.face, s.icon, s.up, s.down}) {
        if (p) g_object_unref(p);
    }
    return shown;
}

}  // namespace platform
