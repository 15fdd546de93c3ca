// What the media page's tests share: a folder of files for the choosers, the dialog
// opened with a scene, and the checks of what the page asked and shows.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/sound/audio_test_util.h"
#include "config/page_media.h"
#include "tests/config/config_test_util.h"
#include "engine/device.h"
#include "engine/frame.h"
#include "engine/overlay.h"
#include "engine/scene.h"
#include "platform/audio/audio_output.h"
#include "platform/resources/resources.h"
#include "platform/rm/offscreen.h"
#include "sound/sound.h"
#include "tests/support/temp_folder.h"

namespace config_test {

// The sound and music the page's tests play go through an audio backend of the tests'
// own where the program has one (Linux: samples pulled by the test, no device
// needed); Windows plays through the system (PlaySoundA, MCI), with no backend to
// put in, and gives nullptr.
platform::PulledAudioBackend* InstallTestAudio();
void RemoveTestAudio();

using namespace platform;

// Records where the overlays would be drawn.
struct Recorder : engine::OverlayCanvas {
    std::vector<std::pair<int, int>> texts;
    void BlitSprite(int, int, int, int, const sprites::SpriteSurface&, sprites::CellRect) override {}
    void DrawText(int x, int y, const engine::PreparedText&) override { texts.push_back({x, y}); }
    bool Drew(int x, int y) const {
        return std::find(texts.begin(), texts.end(), std::pair{x, y}) != texts.end();
    }
};

class MediaPage : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        folder_ = std::make_unique<TempFolder>();
        const std::u8string u8 = folder_->path().u8string();
        dir_.assign(u8.begin(), u8.end());
        output = InstallTestAudio();
    }
    void TearDown() override {
        DialogTest::TearDown();
        RemoveTestAudio();
        folder_.reset();
    }

    // A file of the test's folder with the bytes given.
    std::string Write(const std::string& name, std::string_view bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // A real BMP file: one of the program's own bitmaps.
    std::string WriteBitmap(const std::string& name, const char* resource = "COLOR_U") {
        auto bytes = FindResource(kResourceBitmap, resource);
        EXPECT_TRUE(bytes) << resource;
        if (!bytes) return {};
        return Write(name, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    }
    std::string WriteMidi(const std::string& name, int notes = 2) {
        const std::vector<std::uint8_t> midi = soundtest::MakeMidi(notes);
        return Write(name, std::string_view(reinterpret_cast<const char*>(midi.data()), midi.size()));
    }
    static void SetPath(char (&buffer)[settings::kPathBufferSize], const std::string& path) {
        settings::CopyText(buffer, sizeof buffer, path);
    }

    // Opens the dialog and gives it a scene as the preview would (without a window).
    void OpenWithScene() {
        Open();
        engine::BuildSceneObjects(engine::TheScene());
    }
    engine::Scene& Scene() { return engine::TheScene(); }
    // The one file chooser shown so far: its title, its filter and the file offered.
    // Pictures are offered first with a filter for every form the saver reads.
    void ExpectAsked(const char* title, const char* filterName, const char* pattern,
                     const std::string& offered, bool pictures = false) {
        ASSERT_EQ(ui->filesAsked.size(), 1u) << title;
        const FileChooser& asked = ui->filesAsked[0];
        EXPECT_EQ(asked.title, title);
        EXPECT_EQ(asked.filterName, filterName);
        EXPECT_EQ(asked.filterPattern, pattern);
        EXPECT_EQ(asked.firstFilterName,
                  pictures ? "Pictures (*.bmp;*.ppm;*.png;*.jpg;*.jpeg;*.tga;*.gif)" : "");
        EXPECT_EQ(asked.firstFilterPattern,
                  pictures ? "*.bmp;*.ppm;*.pgm;*.pbm;*.png;*.jpg;*.jpeg;*.tga;*.gif" : "");
        EXPECT_EQ(asked.initialPath, offered) << title;
    }
    bool Checked(int id) { return ui->GetCheck(page2, id) == 1; }
    // The scene's background colour against a COLORREF: each byte over 256.
    void ExpectBackground(std::uint32_t colorref, const std::string& where) {
        const rm::Color c = Scene().SceneFrame->SceneBackground();
        const rm::Color want = rm::ColorFromRGB((colorref & 0xFF) / 256.0f, ((colorref >> 8) & 0xFF) / 256.0f,
                                                ((colorref >> 16) & 0xFF) / 256.0f);
        EXPECT_EQ(c.r, want.r) << where;
        EXPECT_EQ(c.g, want.g) << where;
        EXPECT_EQ(c.b, want.b) << where;
    }

    std::unique_ptr<TempFolder> folder_;
    std::string dir_;
    PulledAudioBackend* output = nullptr;
};


}  // namespace config_test
