#include "cluster/rank_console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace glintor {

namespace {

// An unnamed file in the system's temporary folder: nothing is left behind however the rank ends.
int TemporaryFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
                       "/glintor-rank-XXXXXX";
    const int file = mkostemp(path.data(), O_CLOEXEC);
    if (file >= 0) {
        unlink(path.c_str());
    }
    return file;
}

void SendToNull(int descriptor) {
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        dup2(null, descriptor);
        close(null);
    }
}

}  // namespace

RankConsole::RankConsole(int rank) {
    std::fflush(stdout);
    std::fflush(stderr);
    if (rank != 0) {
        SendToNull(STDOUT_FILENO);
    } else {
        savedError_ = dup(STDERR_FILENO);
    }
    file_ = TemporaryFile();
    if (file_ >= 0) {
        dup2(file_, STDERR_FILENO);
    } else if (rank != 0) {
        // Without a file this rank stays silent, as every rank but the first once was.
        SendToNull(STDERR_FILENO);
    }
}

RankConsole::~RankConsole() {
    // A run that ended before the load check (a refused command line) still shows rank 0's text.
    if (savedError_ >= 0) {
        const std::string text = TakeNewText();
        Release();
        std::fputs(text.c_str(), stderr);
    }
    if (file_ >= 0) {
        close(file_);
    }
}

std::string RankConsole::TakeNewText() {
    std::fflush(stderr);
    std::string text;
    if (file_ < 0) {
        return text;
    }
    char buffer[4096];
    ssize_t count = 0;
    while ((count = pread(file_, buffer, sizeof buffer, taken_)) > 0) {
        text.append(buffer, static_cast<size_t>(count));
        taken_ += count;
    }
    return text;
}

void RankConsole::Release() {
    if (savedError_ >= 0) {
        std::fflush(stderr);
        dup2(savedError_, STDERR_FILENO);
        close(savedError_);
        savedError_ = -1;
    }
}

std::string PrefixLines(const std::string& text, int rank) {
    const std::string prefix = "[rank " + std::to_string(rank) + "] ";
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        out += prefix + text.substr(start, end - start);
        start = end;
    }
    if (!out.empty() && out.back() != '\n') {
        out += '\n';
    }
    return out;
}

}  // namespace glintor
