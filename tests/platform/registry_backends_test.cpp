// What every registry backend does alike, written once and run against each: the
// memory registry, and the target's own (the store file on Linux, Windows' registry
// on Windows). Each test works below a key of its own, removed after.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry/reg_file.h"
#include "platform/registry/registry.h"
#include "tests/platform/registry_backends.h"

using namespace platform;

namespace {

template <class Backend>
class RegistryBackend : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> count{0};
        root_ = "Software\\orbsaver-tests\\" + std::string(::testing::UnitTest::GetInstance()
                                                               ->current_test_info()
                                                               ->name()) +
                std::to_string(count++);
        registry_ = backend_.Make();
        ASSERT_TRUE(registry_);
    }
    void TearDown() override { backend_.Remove(root_); }

    std::string Key(const std::string& name) { return root_ + "\\" + name; }

    Backend backend_;
    std::unique_ptr<Registry> registry_;
    std::string root_;
};

using Backends = ::testing::Types<MemoryBackend, TargetBackend>;
TYPED_TEST_SUITE(RegistryBackend, Backends, BackendNames);

}  // namespace

TYPED_TEST(RegistryBackend, AQueryFollowsTheBufferRules) {
    Registry& r = *this->registry_;
    KeyDisposition d;
    auto key = r.CreateKey(this->Key("A"), &d);
    ASSERT_TRUE(key);
    EXPECT_EQ(d, KeyDisposition::kCreatedNew);
    key->SetValue("v", kRegSz, "hello", 6);
    char buffer[8] = "zzzzzzz";
    std::uint32_t size = 4;
    EXPECT_EQ(key->QueryValue("V", buffer, &size), RegStatus::kMoreData);
    EXPECT_EQ(size, 6u);
    EXPECT_STREQ(buffer, "zzzzzzz") << "a buffer too small is left alone";
    size = sizeof buffer;
    std::uint32_t type = 0;
    EXPECT_EQ(key->QueryValue("v", buffer, &size, &type), RegStatus::kOk);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, static_cast<std::uint32_t>(kRegSz));
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(key->QueryValue("w", buffer, &size), RegStatus::kNotFound);
    EXPECT_TRUE(key->Close());
}

TYPED_TEST(RegistryBackend, KeysAreFoundWhateverTheirCaseAndOnlyOnceMade) {
    Registry& r = *this->registry_;
    EXPECT_EQ(r.OpenKey(this->Key("Absent")), nullptr);
    KeyDisposition d;
    ASSERT_TRUE(r.CreateKey(this->Key("Control Panel\\Desktop"), &d));
    EXPECT_EQ(d, KeyDisposition::kCreatedNew);
    ASSERT_TRUE(r.CreateKey(this->Key("control panel\\DESKTOP"), &d));
    EXPECT_EQ(d, KeyDisposition::kOpenedExisting);
    EXPECT_NE(r.OpenKey(this->Key("CONTROL PANEL\\desktop")), nullptr);
}

// Every type the settings use keeps its bytes exactly through a close and a new open:
// texts with their terminator, numbers, a step table's 12,000 bytes, an empty value.
TYPED_TEST(RegistryBackend, ValuesKeepTheirTypeAndBytesThroughACloseAndAnOpen) {
    Registry& r = *this->registry_;
    std::vector<std::uint8_t> table(12000);
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const std::uint32_t dword = 0x00C0FFEE;
    {
        KeyDisposition d;
        auto key = r.CreateKey(this->Key("SV_ORB_1\\INFO"), &d);
        ASSERT_TRUE(key);
        // A text as the settings store it: the code page's bytes and their terminator.
        key->SetValue("X_NM", kRegSz, "C:\\\x83\x66.x", 8);
        key->SetValue("COLOR", kRegDword, &dword, 4);
        key->SetValue("AN_VEC", kRegBinary, table.data(), static_cast<std::uint32_t>(table.size()));
        key->SetValue("EMPTY", kRegBinary, "", 0);
        key->SetValue("COLOR", kRegDword, &dword, 4);  // set again: one value still
        EXPECT_TRUE(key->Close());
    }
    auto key = r.OpenKey(this->Key("sv_orb_1\\info"));
    ASSERT_TRUE(key);
    std::vector<std::uint8_t> back(20000, 0xAA);
    std::uint32_t size = static_cast<std::uint32_t>(back.size()), type = 0;
    ASSERT_EQ(key->QueryValue("an_vec", back.data(), &size, &type), RegStatus::kOk);
    EXPECT_EQ(type, static_cast<std::uint32_t>(kRegBinary));
    ASSERT_EQ(size, table.size());
    EXPECT_EQ(std::memcmp(back.data(), table.data(), table.size()), 0);
    size = static_cast<std::uint32_t>(back.size());
    ASSERT_EQ(key->QueryValue("X_NM", back.data(), &size, &type), RegStatus::kOk);
    EXPECT_EQ(type, static_cast<std::uint32_t>(kRegSz));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back.data()), size),
              std::string("C:\\\x83\x66.x", 8));
    std::uint32_t number = 0;
    size = 4;
    ASSERT_EQ(key->QueryValue("COLOR", &number, &size, &type), RegStatus::kOk);
    EXPECT_EQ(type, static_cast<std::uint32_t>(kRegDword));
    EXPECT_EQ(number, dword);
    size = static_cast<std::uint32_t>(back.size());
    ASSERT_EQ(key->QueryValue("EMPTY", back.data(), &size, &type), RegStatus::kOk);
    EXPECT_EQ(size, 0u);
}
