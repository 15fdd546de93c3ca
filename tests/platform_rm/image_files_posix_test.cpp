// What only a POSIX system has in its folders: a pipe without a writer would wait for
// one, and a device would never end; neither is read as a picture or a model.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/rm/image.h"
#include "platform/rm/texture.h"
#include "tests/support/temp_folder.h"

namespace rm = platform::rm;

TEST(FileBytes, NothingBlocksOrRunsAway) {
    TempFolder folder;
    const std::string fifo = folder.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        std::vector<uint8_t> bytes = {'o', 'l', 'd'};
        std::string error;
        EXPECT_FALSE(rm::ReadFileBytes(path, bytes, error)) << path;
        EXPECT_TRUE(bytes.empty()) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_EQ(rm::Texture::Load(path), nullptr) << path;
    }
}
