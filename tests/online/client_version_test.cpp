// Reading what a downloaded file says it is, from bytes that a hostile server chose.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "online/client_version.h"
#include "tests/support/schtasks_double.h"

namespace {

std::vector<BYTE> ReadFileBytes(const char* unixPath) {
    std::ifstream file(std::filesystem::path(tvx::test::WindowsPathOf(unixPath)), std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(file), {});
}

bool SameFacts(const tvx::VersionFacts& a, const tvx::VersionFacts& b) {
    return a.productVersion == b.productVersion && a.productName == b.productName &&
           a.internalName == b.internalName;
}

TEST(ClientVersion, ReadsTheSetupMarkAndSurvivesEveryCutAndBrokenByte) {
    // The stand-in client carries a setup's version resource, one major version above ours.
    std::vector<BYTE> bytes = ReadFileBytes(TARNIVEX_UPDATE_CLIENT);
    ASSERT_GT(bytes.size(), 4096u);
    const auto block = tvx::FindVersionResource(bytes);
    ASSERT_FALSE(block.empty());
    const auto facts = tvx::ParseVersionInfo(block);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->productName, L"Tarnivex");
    EXPECT_EQ(facts->internalName, tvx::kSetupInternalName);
    EXPECT_EQ(facts->productVersion, tvx::MakeVersion(TARNIVEX_TEST_NEXT_MAJOR, 0, 0));
    EXPECT_TRUE(tvx::IsNewerTarnivexSetup(facts, tvx::OwnProductVersion()));
    EXPECT_FALSE(tvx::IsNewerTarnivexSetup(facts, facts->productVersion)) << "not newer: equal";
    tvx::VersionFacts other = *facts;
    other.internalName = L"uninstall.exe";
    EXPECT_FALSE(tvx::IsNewerTarnivexSetup(other, tvx::OwnProductVersion()));

    // Cut anywhere: nothing, or (cut after the resource) the same facts.
    for (size_t size = 0; size < bytes.size(); size += 61) {
        const auto cut = tvx::ParseVersionInfo(
            tvx::FindVersionResource(std::span<const BYTE>(bytes.data(), size)));
        if (cut) {
            EXPECT_TRUE(SameFacts(*cut, *facts)) << size;
        }
    }
    // Every byte of the headers and of the version block changed in turn: never a read outside
    // the file, and never a setup from anything but a mark and a version that say so.
    const size_t blockAt = static_cast<size_t>(block.data() - bytes.data());
    std::vector<size_t> places;
    for (size_t i = 0; i < 1024; ++i) places.push_back(i);
    for (size_t i = 0; i < block.size(); ++i) places.push_back(blockAt + i);
    for (const size_t at : places) {
        for (const BYTE value : {BYTE{0x00}, BYTE{0xFF}, BYTE{0x7F}}) {
            const BYTE kept = bytes[at];
            bytes[at] = value;
            const auto changed = tvx::ParseVersionInfo(tvx::FindVersionResource(bytes));
            if (changed && tvx::IsNewerTarnivexSetup(changed, tvx::OwnProductVersion())) {
                EXPECT_EQ(changed->internalName, tvx::kSetupInternalName);
                EXPECT_EQ(changed->productName, L"Tarnivex");
            }
            bytes[at] = kept;
        }
    }
}

}  // namespace
