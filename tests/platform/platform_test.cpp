#include "platform/platform.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <thread>

#include "tests/support/test_paths.h"

namespace glintor {
namespace {

TEST(Platform, ProcessorCountAndTicks) {
    EXPECT_GE(ProcessorCount(), 1);
    const uint32_t before = TickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const uint32_t elapsed = TickCount() - before;  // unsigned: correct across a wrap too
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Platform, FilesFoldersAndPaths) {
    const std::string folder = testing::ScratchFolder("platform");
    EXPECT_TRUE(FileExists(folder));
    EXPECT_FALSE(FileExists(folder + "/nothing.txt"));
    testing::WriteFile(folder + "/a.txt", "x");
    EXPECT_TRUE(FileExists(folder + "/a.txt"));

    const auto home = std::filesystem::current_path();
    EXPECT_TRUE(ChangeDirectory(folder));
    EXPECT_TRUE(FileExists("a.txt"));
    EXPECT_FALSE(ChangeDirectory(""));
    EXPECT_FALSE(ChangeDirectory(folder + "/missing"));
    std::filesystem::current_path(home);

    EXPECT_EQ(PortablePath("meshes\\bunny.ply"), "meshes/bunny.ply");
    EXPECT_EQ(PortablePath("a/b\\c"), "a/b/c");
}

TEST(Platform, AlignedMemoryAndDate) {
    void* p = AlignedAlloc(1000);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
    AlignedFree(p);
    void* empty = AlignedAlloc(0);  // a usable pointer, not null
    EXPECT_NE(empty, nullptr);
    AlignedFree(empty);

    // Over two huge pages: aligned to one, every byte up to the size asked for is there, the
    // over-mapped rest after the last whole huge page is given back, and freeing unmaps it all.
    const size_t bytes = (size_t{4} << 20) + 1;
    auto* huge = static_cast<char*>(HugePageAlloc(bytes));
    ASSERT_NE(huge, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(huge) % (size_t{2} << 20), 0u);
    huge[0] = 1;
    huge[bytes - 1] = 2;
    EXPECT_EQ(huge[0] + huge[bytes - 1], 3);
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    unsigned char resident = 0;
    auto mapped = [&](const char* p) {
        return mincore(const_cast<char*>(p), page, &resident) == 0;
    };
    const char* end = huge + (size_t{6} << 20);
    EXPECT_TRUE(mapped(end - page));
    EXPECT_FALSE(mapped(end));
    HugePageFree(huge, bytes);
    EXPECT_FALSE(mapped(huge));
    EXPECT_EQ(HugePageAlloc(SIZE_MAX - 1), nullptr);

    const std::tm date = LocalDate();
    EXPECT_GE(date.tm_year + 1900, 2024);
    EXPECT_GE(date.tm_mon, 0);
    EXPECT_LE(date.tm_mon, 11);
}

TEST(Platform, MessageBoxWithoutATerminalReturnsAtOnce) {
    if (isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) {
        GTEST_SKIP() << "a person is at this terminal: the box would wait for Enter";
    }
    ::testing::internal::CaptureStderr();
    ShowMessageBox("XML Parsing error", "ERROR: <Scene> node missing");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "XML Parsing error\nERROR: <Scene> node missing\n");
}

}  // namespace
}  // namespace glintor
