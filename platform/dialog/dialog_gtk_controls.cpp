// The controls the GTK dialog backend draws itself, at their exact rectangles and in
// the Windows 95 look: owner-drawn push buttons (the owner paints their faces), check
// boxes and radio buttons, sliders, up-down controls and tabs; and GTK's entry as the
// edit control. Each turns the pointer and keys into the notices Windows sends.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/dialog/dialog_gtk_parts.h"
#include "platform/text/text.h"

namespace platform::gtk_dialog {

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

}  // namespace platform::gtk_dialog
