// The process-wide view state, the scale and scroll step, and the shared fonts.
#include "settings/view_state.h"

#include <string_view>

#include "platform/text/text.h"

namespace settings {

namespace {

// Face names of the fonts the program makes for itself.
constexpr const char* kTimesFace = "TimesNewRoman";
constexpr const char* kMinchoFace = "\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D";  // ＭＳ 明朝

// The small views' share of the full-screen width, 152 / 800.
constexpr double kPreviewFontScale = 0.19;

std::unique_ptr<platform::Font> MakeFont(const char* face, std::int32_t height,
                                         std::int32_t weight, bool italic) {
    platform::FontDescription d;
    d.face = face;
    d.height = height;
    d.weight = weight;
    d.italic = italic;
    return platform::Font::Create(d);
}

}  // namespace

ViewState& View() {
    static ViewState state;
    return state;
}

double ComputeViewScale(std::int32_t viewWidth) { return viewWidth * 0.00125; }

std::int32_t ComputeScrollStep(std::int32_t spd, double viewScale) {
    const double step = spd * viewScale;
    std::int32_t n = 0;
    if (step >= 2147483647.0) {
        n = INT32_MAX;
    } else if (step > -2147483648.0) {
        n = static_cast<std::int32_t>(step);
    }
    return n < 1 ? 1 : n;
}

const MessageEntry& SelectedMessage(const SceneSettings& s) {
    const int index = (s.MSN >= 0 && s.MSN < kMessageEntries) ? s.MSN : 0;
    return s.MSG.entries[index];
}

std::string SelectedMessageUtf8(const SceneSettings& s) {
    const MessageEntry& message = SelectedMessage(s);
    return platform::CodePageToUtf8(
        std::string_view(message.text, TextLength(message.text, sizeof message.text)),
        s.keyboardCodePage);
}

platform::FontDescription DescribeLogFont(const LogFontA& font, int codePage, double scale) {
    platform::FontDescription d;
    const std::size_t length = TextLength(font.faceName, sizeof font.faceName);
    d.face = platform::CodePageToUtf8(std::string_view(font.faceName, length), codePage);
    const double height = font.height * scale;
    d.height = (height > -2147483648.0 && height < 2147483647.0) ? static_cast<std::int32_t>(height)
                                                                 : 0;
    d.weight = font.weight;
    d.italic = font.italic != 0;
    d.underline = font.underline != 0;
    d.strikeOut = font.strikeOut != 0;
    return d;
}

void CreateSharedFonts(const SceneSettings& s, SharedFonts& fonts) {
    const bool japanese = s.keyboardCodePage == 932;
    fonts.EditFont = MakeFont(japanese ? kMinchoFace : kTimesFace, japanese ? 12 : 16, 150, false);
    fonts.PreviewLabelFont = MakeFont(kTimesFace, 6, 0, true);
    fonts.PanelFont = MakeFont(kTimesFace, 15, 40, false);
    CreatePreviewMessageFont(s, fonts);
}

void CreatePreviewMessageFont(const SceneSettings& s, SharedFonts& fonts) {
    fonts.PreviewMessageFont.reset();
    const LogFontA& logFont = SelectedMessage(s).font;
    if (logFont.faceName[0] != '\0') {
        fonts.PreviewMessageFont =
            platform::Font::Create(DescribeLogFont(logFont, s.keyboardCodePage, kPreviewFontScale));
    }
}

void CreateMessageFont(const SceneSettings& s, SharedFonts& fonts) {
    fonts.MessageFont =
        platform::Font::Create(DescribeLogFont(SelectedMessage(s).font, s.keyboardCodePage, 1.0));
}

void DeleteFonts(SharedFonts& fonts) {
    fonts.EditFont.reset();
    fonts.PreviewLabelFont.reset();
    fonts.PanelFont.reset();
    fonts.MessageFont.reset();
    fonts.PreviewMessageFont.reset();
}

}  // namespace settings
