#include "platform/platform.h"

#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace glintor {

int ProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) {
            return count;
        }
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

uint32_t TickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

bool ChangeDirectory(const std::string& folder) {
    return !folder.empty() && chdir(folder.c_str()) == 0;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::tm LocalDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

void ShowMessageBox(const std::string& caption, const std::string& text) {
    std::cout.flush();
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), text.c_str());
    if (isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) {
        std::fprintf(stderr, "Press Enter to continue\n");
        std::fflush(stderr);
        int c = 0;
        while ((c = std::getchar()) != '\n' && c != EOF) {
        }
    }
    std::fflush(stderr);
}

void* AlignedAlloc(std::size_t bytes, std::size_t alignment) {
    void* p = nullptr;
    if (posix_memalign(&p, alignment, bytes == 0 ? alignment : bytes) != 0) {
        return nullptr;
    }
    return p;
}

void AlignedFree(void* p) {
    std::free(p);
}

namespace {
constexpr std::size_t HugePage = std::size_t{2} << 20;

std::size_t WholeHugePages(std::size_t bytes) {
    return (bytes + HugePage - 1) & ~(HugePage - 1);
}
}  // namespace

// Not from the heap: memory the heap hands back has often been touched before, and pages already
// backed by small pages stay small whatever the advice says afterwards. Below one huge page there
// is nothing to gain, and the heap wastes less.
void* HugePageAlloc(std::size_t bytes) {
    if (bytes < HugePage) {
        return AlignedAlloc(bytes, 64);
    }
    if (bytes > SIZE_MAX - 2 * HugePage) {
        return nullptr;
    }
    const std::size_t length = WholeHugePages(bytes);
    // Over-map by one huge page, then give back what lies outside the aligned part.
    void* mapped = mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + HugePage - 1) & ~(HugePage - 1);
    // The spare huge page splits into a head before the aligned part, possibly empty, and a tail
    // after it, never empty.
    const std::uintptr_t head = aligned - start;
    if (head > 0) {
        munmap(mapped, head);
    }
    munmap(reinterpret_cast<void*>(aligned + length), HugePage - head);
    // The advice may be refused, which costs nothing but the speed-up.
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void HugePageFree(void* p, std::size_t bytes) {
    if (bytes < HugePage) {
        AlignedFree(p);
    } else if (p != nullptr) {
        munmap(p, WholeHugePages(bytes));
    }
}

std::string PortablePath(const std::string& path) {
    std::string result = path;
    for (char& c : result) {
        if (c == '\\') {
            c = '/';
        }
    }
    return result;
}

}  // namespace glintor
