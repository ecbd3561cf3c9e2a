#include "platform/partial_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/test_paths.h"

namespace glintor {
namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t Entries(const std::string& folder) {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

PartialFileWriter Writes(const std::string& text, int answer = 0) {
    return [text, answer](const std::string& partial) {
        std::ofstream(partial, std::ios::binary | std::ios::trunc) << text;
        return answer;
    };
}

TEST(PartialFile, TargetGetsTheWholeFileOrKeepsItsOldOne) {
    const std::string folder = testing::ScratchFolder("partial_file");
    const std::string target = folder + "/picture.png";
    ASSERT_EQ(WriteThroughPartialFile(target, Writes("first")), 0);
    EXPECT_EQ(Contents(target), "first");
    // The mode a plainly created file gets, not mkstemp's private one.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

    EXPECT_EQ(WriteThroughPartialFile(target, Writes("half", ENOSPC)), ENOSPC);
    EXPECT_EQ(Contents(target), "first");
    EXPECT_EQ(Entries(folder), 1u);

    EXPECT_EQ(WriteThroughPartialFile(folder + "/none/picture.png", Writes("x")), ENOENT);
    EXPECT_EQ(WriteThroughPartialFile("", Writes("x")), ENOENT);
    fs::create_directory(folder + "/taken.png");
    EXPECT_EQ(WriteThroughPartialFile(folder + "/taken.png", Writes("x")), EISDIR);
    EXPECT_EQ(Entries(folder), 2u);

    // A name as long as a folder entry may be still has room for the partial file.
    const std::string longest = folder + "/" + std::string(251, 'n') + ".exr";
    ASSERT_EQ(WriteThroughPartialFile(longest, Writes("long")), 0);
    EXPECT_EQ(Contents(longest), "long");
    EXPECT_EQ(Entries(folder), 3u);

    EXPECT_EQ(FolderOf("a.png"), ".");
    EXPECT_EQ(FolderOf("/a.png"), "/");
    EXPECT_EQ(FolderOf("renders/day/a.png"), "renders/day");
}

TEST(PartialFile, TerminatingSignalDuringTheWriteRemovesThePartialFile) {
    const std::string folder = testing::ScratchFolder("partial_file_signal");
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Saves that ended free their place in the list the signal handler reads.
            for (int i = 0; i < 20; ++i) {
                WriteThroughPartialFile(folder + "/earlier.png", Writes("x", i % 2 == 0 ? 0 : EIO));
            }
            WriteThroughPartialFile(folder + "/frame.exr", [signal](const std::string& partial) {
                std::ofstream(partial) << "some bytes";
                raise(signal);
                return 0;
            });
            _exit(0);  // not reached: the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << signal;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(Entries(folder), 1u) << signal;  // earlier.png
    }
}

}  // namespace
}  // namespace glintor
