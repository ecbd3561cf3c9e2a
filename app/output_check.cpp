#include "app/output_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "app/statistics_log.h"
#include "platform/partial_file.h"

namespace glintor {

int OutputProblem(const std::string& name, bool appended) {
    if (name.empty()) {
        return ENOENT;
    }
    const std::string folder = FolderOf(name);
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
        return errno;
    }
    if (!S_ISDIR(info.st_mode)) {
        return ENOTDIR;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return errno;
    }
    const std::string entry = name.substr(name.find_last_of('/') + 1);
    const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    if ((longest > 0 && entry.size() > static_cast<size_t>(longest)) || name.size() >= PATH_MAX) {
        return ENAMETOOLONG;
    }
    if (stat(name.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return EISDIR;
        }
        if (appended && access(name.c_str(), W_OK) != 0) {
            return errno;
        }
    }
    return 0;
}

namespace {

std::string Refusal(const std::string& name, bool appended) {
    const int problem = OutputProblem(name, appended);
    return problem == 0 ? "" : "cannot write '" + name + "': " + std::strerror(problem);
}

}  // namespace

std::string CheckOutputs(const std::vector<std::string>& names, const std::string& film) {
    for (const std::string& name : names) {
        if (std::string refusal = Refusal(name, false); !refusal.empty()) {
            return refusal;
        }
    }
    std::string refusal = names.empty() ? "" : Refusal(LogNameOf(names.front()), true);
    if (refusal.empty() && !film.empty()) {
        refusal = Refusal(film, false);
    }
    return refusal;
}

}  // namespace glintor
