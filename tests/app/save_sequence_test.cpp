#include "app/save_sequence.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

namespace glintor {
namespace {

struct SaveRun {
    int status = 0;
    std::string out;
    std::string err;
    std::vector<std::string> written;
    std::vector<std::string> logged;
};

// Saves a.png, b.exr and c.pfm, each failing with the errno given for it, then the log.
SaveRun SaveWith(std::map<std::string, int> failures, int logFailure, bool withLog = true,
                 bool announce = true) {
    SaveRun run;
    const std::vector<ImageOutput> outputs = {{"a.png", PictureFormat::Png},
                                              {"b.exr", PictureFormat::Exr},
                                              {"c.pfm", PictureFormat::Pfm}};
    auto write = [&](const ImageOutput& output) {
        run.written.push_back(output.name);
        return failures[output.name];
    };
    LogWriter log;
    if (withLog) {
        log = [&](const std::string& imageName) {
            run.logged.push_back(imageName);
            return logFailure;
        };
    }
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    run.status = SaveAndLog(outputs, write, log, announce);
    run.out = ::testing::internal::GetCapturedStdout();
    run.err = ::testing::internal::GetCapturedStderr();
    return run;
}

const std::vector<std::string> All = {"a.png", "b.exr", "c.pfm"};

TEST(SaveSequence, EveryOutputIsTriedAndEachFailureToldWithItsReason) {
    const SaveRun first = SaveWith({{"a.png", ENOENT}, {"c.pfm", EACCES}}, 0);
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(first.written, All);
    EXPECT_EQ(first.err,
              "Could not save the image to 'a.png': No such file or directory\n"
              "Could not save the image to 'c.pfm': Permission denied\n");
    EXPECT_EQ(first.out, "");
    EXPECT_TRUE(first.logged.empty());  // no row for a picture that is not there

    const SaveRun later = SaveWith({{"b.exr", EROFS}}, 0);
    EXPECT_EQ(later.status, 1);
    EXPECT_EQ(later.written, All);
    EXPECT_EQ(later.err, "Could not save the image to 'b.exr': Read-only file system\n");
    EXPECT_EQ(later.logged, std::vector<std::string>{"a.png"});
    EXPECT_EQ(later.out, "");
}

TEST(SaveSequence, LogFailureIsToldAndFailsTheRun) {
    const SaveRun run = SaveWith({}, ENOSPC);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Saved\n");
    EXPECT_EQ(run.err, "Could not append the statistics to 'a.png.txt': No space left on device\n");

    const SaveRun fine = SaveWith({}, 0);
    EXPECT_EQ(fine.status, 0);
    EXPECT_EQ(fine.out, "Saved\n");
    EXPECT_EQ(fine.err, "");
    EXPECT_EQ(fine.logged, std::vector<std::string>{"a.png"});

    const SaveRun resave = SaveWith({}, ENOSPC, false);
    EXPECT_EQ(resave.status, 0);
    EXPECT_EQ(resave.err, "");
    EXPECT_EQ(resave.out, "Saved\n");

    const SaveRun silent = SaveWith({}, 0, true, false);
    EXPECT_EQ(silent.status, 0);
    EXPECT_EQ(silent.out, "");
    EXPECT_EQ(silent.logged, std::vector<std::string>{"a.png"});
}

}  // namespace
}  // namespace glintor
