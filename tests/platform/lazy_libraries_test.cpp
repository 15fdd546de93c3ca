// The synthesiser library and the GTK dialogs' module, which the program opens only
// when the music or a dialog first needs them: found where they are, refused with a
// reason where they are missing or unusable, and that reason said once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/audio/fluid_api.h"
#include "platform/dialog/gtk_module.h"
#include "platform/report/report.h"
#include "tests/support/temp_folder.h"

using namespace platform;

namespace {

std::vector<std::string> g_lines;
void Catch(std::string_view line) { g_lines.emplace_back(line); }

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(LazyLibraries, TheSynthesiserOpensByItsSonameAndAMissingOrForeignLibraryIsRefused) {
    FluidApi api;
    std::string reason;
    EXPECT_FALSE(LoadFluidApi("libno-such-synthesiser.so.0", &api, &reason));
    EXPECT_TRUE(Contains(reason, "libno-such-synthesiser.so.0")) << reason;
    // A library without the synthesiser's functions: the first one missing is named,
    // and nothing of it is kept in the table.
    EXPECT_FALSE(LoadFluidApi("libm.so.6", &api, &reason));
    EXPECT_EQ(reason, "libm.so.6 has no delete_fluid_player");
    EXPECT_EQ(api.new_fluid_synth, nullptr);

    ASSERT_TRUE(LoadFluidApi(FluidLibraryName(), &api, &reason)) << reason;
#define ORBSAVER_EXPECT_FOUND(name) EXPECT_NE(api.name, nullptr) << #name;
    ORBSAVER_FLUID_FUNCTIONS(ORBSAVER_EXPECT_FOUND)
#undef ORBSAVER_EXPECT_FOUND
    // The functions are the library's own: settings made and read back.
    fluid_settings_t* settings = api.new_fluid_settings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(api.fluid_settings_setnum(settings, "synth.gain", 0.5), FLUID_OK);
    api.delete_fluid_settings(settings);
    EXPECT_NE(Fluid(), nullptr);
}

TEST(LazyLibraries, TheDialogModuleIsLookedForInEachDirectoryAndRefusedWhenUnusable) {
    TempFolder folder;
    const std::string dir = folder.path().string();
    std::string reason;
    EXPECT_EQ(LoadGtkModule({dir, dir + "/lib"}, &reason), nullptr);
    EXPECT_EQ(reason, "orbsaver-gtk.so is in none of " + dir + " " + dir + "/lib");
    EXPECT_EQ(LoadGtkModule({}, &reason), nullptr);
    EXPECT_EQ(reason, "orbsaver-gtk.so is in none of the program's directories");

    // A file of that name that is no library, in the second directory.
    std::filesystem::create_directories(dir + "/lib");
    std::ofstream(dir + "/lib/orbsaver-gtk.so") << "not a library\n";
    EXPECT_EQ(LoadGtkModule({dir, dir + "/lib"}, &reason), nullptr);
    EXPECT_TRUE(Contains(reason, dir + "/lib/orbsaver-gtk.so")) << reason;

    // The real module calls the program's platform functions, which only the program
    // exports: in this test program it cannot be bound, and says which name is missing.
    ASSERT_EQ(access((std::string(ORBSAVER_BINARY_DIR) + "/orbsaver-gtk.so").c_str(), R_OK), 0);
    EXPECT_EQ(LoadGtkModule({dir, ORBSAVER_BINARY_DIR}, &reason), nullptr);
    EXPECT_TRUE(Contains(reason, "undefined symbol")) << reason;

    // The program's own directory first, then the installed module directory.
    const std::vector<std::string> dirs = GtkModuleDirectories();
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[0], std::filesystem::canonical("/proc/self/exe").parent_path().string());
    EXPECT_EQ(dirs[1].rfind(dirs[0] + "/", 0), 0u) << dirs[1];
    EXPECT_TRUE(dirs[1].ends_with("/orbsaver")) << dirs[1];
}

TEST(LazyLibraries, WithoutTheModuleTheDialogsAreAFailureSaidOnceAndBoxesOnlyReport) {
    // This test program's directory holds no module.
    g_lines.clear();
    const ReportSink before = SetReportSink(Catch);
    std::unique_ptr<DialogBackend> dialogs = CreateGtkDialogBackend();
    ASSERT_NE(dialogs, nullptr);
    EXPECT_FALSE(dialogs->Available());
    EXPECT_TRUE(dialogs->UnavailableIsFailure());
    EXPECT_EQ(dialogs->UnavailableReason().rfind("cannot load the dialogs: orbsaver-gtk.so is in none of ", 0),
              0u)
        << dialogs->UnavailableReason();
    // The backend's user reports its reason; the box's words are reported, and the
    // reason is not said again.
    ShowMessageBox("orbsaver", "the words\n", MessageBoxKind::kInformation);
    int width = 0, height = 0;
    EXPECT_FALSE(PrimaryScreenSize(&width, &height));
    EXPECT_FALSE(RunPictureDialog(PictureDialog{}));
    std::string reason;
    EXPECT_EQ(TheGtkModule(&reason), nullptr);
    EXPECT_EQ("cannot load the dialogs: " + reason, dialogs->UnavailableReason());
    SetReportSink(before);
    EXPECT_EQ(g_lines, std::vector<std::string>{"orbsaver: the words"});
}
