// The system's font and colour choosers over a dialog, as GTK has them: a font chooser
// with the colour and the effects beside it, and the colour chooser with its custom
// colours.
#include <cmath>
#include <cstdint>

#include "platform/dialog/dialog_gtk_parts.h"
#include "platform/dialog/gtk_common.h"
#include "platform/text/text.h"

namespace platform::gtk_dialog {

namespace {


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

}  // namespace

bool RunFontChooser(WindowHandle owner, FontChoice& choice) {
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
    SettleGtk();
    return chosen;
}

bool RunColorChooser(WindowHandle owner, ColorChoice& choice) {
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
    SettleGtk();
    return chosen;
}

}  // namespace platform::gtk_dialog
