// The step table's save on POSIX keeps the permissions of the file it replaces, and
// leaves a read-only file with its own.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "settings/scene_settings.h"
#include "settings/step_file.h"
#include "tests/support/temp_folder.h"

using namespace settings;

TEST(StepFileModes, AReplacedFileKeepsItsModeAndAReadOnlyOneKeepsItsOwn) {
    const TempFolder dir;
    const std::string path = dir.File(kStepTableFileName);
    std::ofstream(path, std::ios::binary) << "kept";
    StepTable t{};
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(SaveStepTableFile(t, path));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    EXPECT_TRUE(SaveStepTableFile(t, path));
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}
