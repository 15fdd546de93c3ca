// What the configuration dialog's tests share: the null dialog and window backends,
// a store in memory, settings as a first run leaves them, and the dialog made.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/config_dialog.h"
#include "platform/dialog/dialog_null.h"
#include "platform/registry/registry.h"
#include "platform/resources/resources.h"
#include "settings/scene_settings.h"
#include "settings/store.h"
#include "settings/view_state.h"

namespace config_test {

// The program's bitmaps by the bytes the dialog draws.
inline std::string ResourceName(std::span<const std::byte> bytes) {
    for (const platform::ResourceInfo& r : platform::AllResources()) {
        if (r.bytes.data() == bytes.data()) return std::string(r.name);
    }
    return "<" + std::to_string(bytes.size()) + " bytes>";
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetWindowSystem();
        platform::SetWindowBackend(platform::CreateNullWindowBackend());
        auto backend = std::make_unique<platform::NullDialogBackend>();
        ui = backend.get();
        ui->pictureName = ResourceName;
        platform::SetDialogBackend(std::move(backend));
        platform::SetUserRegistry(&registry);
        settings::SceneSettings& s = settings::Settings();
        settings::InitialiseSettings(s, "/data/", 1252);
        settings::LoadOrSaveSettings(0);  // a first run: the defaults, stored
        settings::ViewState& view = settings::View();
        view.mode = settings::SaverMode::Config;
        view.ViewWidth = 152;
        view.ViewHeight = 112;
        view.ViewScale = settings::ComputeViewScale(152);
        view.ScrollStep = settings::ComputeScrollStep(s.SPD, view.ViewScale);
        settings::CreateSharedFonts(s, view.fonts);
        config::Services().createSaverWindow = [] {
            Ui().log.push_back("CreateSaverWindow");
            return false;
        };
        config::Services().showAboutBox = [](platform::WindowHandle owner) {
            Ui().log.push_back("About " + std::to_string(owner));
        };
        self = this;
    }

    void TearDown() override {
        if (dialog && platform::IsWindow(dialog)) platform::DestroyWindow(dialog);
        config::Services() = {};
        settings::DeleteFonts(settings::View().fonts);
        platform::SetUserRegistry(nullptr);
        platform::ResetWindowSystem();
        platform::SetDialogBackend(nullptr);
        self = nullptr;
    }

    static platform::NullDialogBackend& Ui() { return *self->ui; }

    // Makes the dialog the way the program does.
    void Open() {
        dialog = platform::CreateDialogWindow(config::ConfigDialogProc, 0,
                                              platform::Rect{0, 0, 585, 450});
        ASSERT_NE(dialog, 0u);
        page1 = config::TheConfigDialog().motionPage;
        page2 = config::TheConfigDialog().mediaPage;
        ASSERT_NE(page1, 0u);
        ASSERT_NE(page2, 0u);
    }

    bool Enabled(platform::WindowHandle w, int id) { return ui->IsControlEnabled(w, id); }
    // The index of the first log line starting with the prefix; log size when none.
    std::size_t At(const std::string& prefix) const {
        for (std::size_t i = 0; i < ui->log.size(); ++i) {
            if (ui->log[i].rfind(prefix, 0) == 0) return i;
        }
        return ui->log.size();
    }
    std::string H(platform::WindowHandle w) const { return std::to_string(w); }
    platform::LRESULT Click(platform::WindowHandle w, int id) { return platform::SendCommand(w, id); }

    platform::NullDialogBackend* ui = nullptr;
    platform::MemoryRegistry registry;
    platform::WindowHandle dialog = 0, page1 = 0, page2 = 0;
    static inline DialogTest* self = nullptr;
};

// The bytes of a stored value, or nothing.
inline std::string Stored(platform::MemoryRegistry& r, const char* name) {
    auto key = r.OpenKey(settings::kSettingsKey);
    if (!key) return {};
    std::uint8_t buffer[16384];
    std::uint32_t size = sizeof buffer;
    if (key->QueryValue(name, buffer, &size) != platform::RegStatus::kOk) return {};
    return std::string(reinterpret_cast<char*>(buffer), size);
}

}  // namespace config_test
