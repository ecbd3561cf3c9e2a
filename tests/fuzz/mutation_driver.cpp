// A small mutation fuzzer that drives LLVMFuzzerTestOneInput where libFuzzer is not available.
// It takes libFuzzer's command line (corpus folders or files, -max_total_time=, -runs=, -seed=,
// -max_len=, -timeout=; other -name=value options are ignored) so one test command serves both.
// Mutations aim at what breaks PLY readers: bit and byte flips, truncation, removed and repeated
// ranges, and edits of header words and numbers (counts, types, encodings).
#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#if defined(__has_include)
#if __has_include(<sanitizer/common_interface_defs.h>)
#include <sanitizer/common_interface_defs.h>
#define GLINTOR_HAS_SANITIZER_INTERFACE 1
#endif
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::string;

// Kept where the death callback and the watchdog can reach it without allocating.
const char kCrashFile[] = "ply-fuzz-crash.ply";
const Bytes* currentInput = nullptr;
std::atomic<uint64_t> runCount{0};
uint64_t runsAtLastAlarm = 0;
int watchdogTicks = 0;
int timeoutSeconds = 10;

void SaveCurrentInput() {
    if (currentInput == nullptr) {
        return;
    }
    const int file = open(kCrashFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file >= 0) {
        ssize_t ignored = write(file, currentInput->data(), currentInput->size());
        (void)ignored;
        close(file);
    }
    const char note[] = "PLY fuzz: the failing input was saved as ply-fuzz-crash.ply\n";
    ssize_t ignored = write(STDERR_FILENO, note, sizeof(note) - 1);
    (void)ignored;
}

// Every second: when no run finished for `timeoutSeconds`, the current input hangs the reader.
void OnAlarm(int) {
    const uint64_t runs = runCount.load();
    if (runs != runsAtLastAlarm) {
        runsAtLastAlarm = runs;
        watchdogTicks = 0;
        return;
    }
    if (++watchdogTicks >= timeoutSeconds) {
        const char note[] = "PLY fuzz: one input ran longer than the timeout\n";
        ssize_t ignored = write(STDERR_FILENO, note, sizeof(note) - 1);
        (void)ignored;
        SaveCurrentInput();
        _exit(70);
    }
}

const char* const kWords[] = {
    "ply",
    "format",
    "ascii",
    "binary_little_endian",
    "binary_big_endian",
    "1.0",
    "element",
    "vertex",
    "face",
    "property",
    "list",
    "end_header",
    "comment",
    "obj_info",
    "x",
    "vertex_indices",
    "nx",
    "red",
    "s",
    "char",
    "uchar",
    "short",
    "ushort",
    "int",
    "uint",
    "float",
    "double",
    "int8",
    "uint8",
    "int16",
    "uint16",
    "int32",
    "uint32",
    "float32",
    "float64",
    "0",
    "1",
    "2",
    "3",
    "-1",
    "255",
    "256",
    "65535",
    "2147483647",
    "2147483648",
    "4294967295",
    "-2147483648",
    "1e999",
    "nan",
    "-nan",
    "inf",
    "1e-400",
    "+7",
    "0.5",
    "\n",
    "\r\n",
    " ",
    "\t",
    "",
};
const uint8_t kBytes[] = {0, 1, 2, 3, 0x7f, 0x80, 0xfe, 0xff, '\n', '\r', ' ', '-', '9', '.'};

class Mutator {
public:
    explicit Mutator(uint64_t seed) : random_(seed) {}

    size_t Below(size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random_);
    }

    void Mutate(Bytes& input, size_t maxLength) {
        const int steps = 1 + int(Below(4));
        for (int i = 0; i < steps; ++i) {
            MutateOnce(input);
        }
        if (input.size() > maxLength) {
            input.resize(maxLength);
        }
    }

private:
    // A word boundary near the header, where most of the decisions of a reader are made.
    size_t HeaderPosition(const Bytes& input) {
        const size_t end = input.find("end_header");
        return Below(end == Bytes::npos ? input.size() + 1 : end + 12);
    }

    void ReplaceWordAt(Bytes& input, size_t at, const Bytes& word) {
        size_t start = at;
        while (start > 0 && !std::isspace(static_cast<unsigned char>(input[start - 1]))) {
            --start;
        }
        size_t end = at;
        while (end < input.size() && !std::isspace(static_cast<unsigned char>(input[end]))) {
            ++end;
        }
        input.replace(start, end - start, word);
    }

    void MutateOnce(Bytes& input) {
        switch (Below(9)) {
            case 0:
                if (!input.empty()) {
                    input[Below(input.size())] ^= char(1u << Below(8));
                }
                break;
            case 1:
                if (!input.empty()) {
                    input[Below(input.size())] = char(kBytes[Below(std::size(kBytes))]);
                }
                break;
            case 2:
                input.resize(Below(input.size() + 1));
                break;
            case 3: {
                const size_t at = Below(input.size() + 1);
                input.erase(at, 1 + Below(16));
                break;
            }
            case 4: {
                const size_t at = Below(input.size() + 1);
                const Bytes piece = input.substr(Below(input.size() + 1), 1 + Below(32));
                input.insert(at, piece);
                break;
            }
            case 5:
            case 6:
                if (!input.empty()) {
                    ReplaceWordAt(input, std::min(HeaderPosition(input), input.size() - 1),
                                  kWords[Below(std::size(kWords))]);
                }
                break;
            case 7: {
                const size_t at = input.empty() ? 0 : Below(input.size());
                if (!input.empty()) {
                    ReplaceWordAt(input, at, kWords[Below(std::size(kWords))]);
                }
                break;
            }
            default: {
                // Insert a header line, mostly elements and properties nobody expects.
                const char* lines[] = {"comment fuzz\n",
                                       "obj_info fuzz\n",
                                       "property list uint int vertex_indices\n",
                                       "property float x\n",
                                       "element extra 3\n",
                                       "property list uchar float texcoord\n",
                                       "element face 2147483647\n",
                                       "property double nx\n"};
                const size_t header = input.find('\n');
                const size_t at =
                    header == Bytes::npos ? 0 : header + 1 + Below(HeaderPosition(input) + 1);
                input.insert(std::min(at, input.size()), lines[Below(std::size(lines))]);
                break;
            }
        }
    }

    std::mt19937_64 random_;
};

Bytes ReadFile(const std::filesystem::path& path, size_t maxLength) {
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > maxLength) {
        bytes.resize(maxLength);
    }
    return bytes;
}

bool Option(const std::string& argument, const char* name, long long& value) {
    const std::string prefix = std::string("-") + name + "=";
    if (argument.rfind(prefix, 0) != 0) {
        return false;
    }
    value = std::atoll(argument.c_str() + prefix.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    long long maxTime = 0;
    long long maxRuns = -1;
    long long seed = static_cast<long long>(std::random_device()());
    long long maxLength = 65536;
    long long timeout = 10;
    std::vector<Bytes> corpus;
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (Option(argument, "max_total_time", maxTime) || Option(argument, "runs", maxRuns) ||
            Option(argument, "seed", seed) || Option(argument, "max_len", maxLength) ||
            Option(argument, "timeout", timeout) || argument.rfind("-", 0) == 0) {
            continue;
        }
        inputs.emplace_back(argument);
    }
    for (const std::filesystem::path& input : inputs) {
        std::error_code error;
        if (std::filesystem::is_directory(input, error)) {
            for (const auto& entry : std::filesystem::directory_iterator(input, error)) {
                if (entry.is_regular_file()) {
                    corpus.push_back(ReadFile(entry.path(), size_t(maxLength)));
                }
            }
        } else if (std::filesystem::is_regular_file(input, error)) {
            corpus.push_back(ReadFile(input, size_t(maxLength)));
        }
    }
    if (corpus.empty()) {
        corpus.push_back(
            "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
            "property float z\nelement face 1\nproperty list uchar int vertex_indices\n"
            "end_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    }
    const size_t seedCount = corpus.size();

    timeoutSeconds = int(std::max(1LL, timeout));
#ifdef GLINTOR_HAS_SANITIZER_INTERFACE
    __sanitizer_set_death_callback(SaveCurrentInput);
#endif
    signal(SIGALRM, OnAlarm);
    const itimerval everySecond{{1, 0}, {1, 0}};
    setitimer(ITIMER_REAL, &everySecond, nullptr);

    std::printf("PLY fuzz: seed %lld, %zu seed inputs\n", seed, seedCount);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    Mutator mutator(static_cast<uint64_t>(seed));
    Bytes input;
    currentInput = &input;
    // The seeds run unchanged first: they must load cleanly before their mutants mean anything.
    for (const Bytes& seedInput : corpus) {
        input = seedInput;
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
        ++runCount;
    }
    const size_t corpusLimit = seedCount + 512;
    while ((maxRuns < 0 || runCount < uint64_t(maxRuns)) && (maxTime <= 0 || elapsed() < maxTime)) {
        input = corpus[mutator.Below(corpus.size())];
        mutator.Mutate(input, size_t(maxLength));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
        ++runCount;
        // Without coverage feedback, keeping a few mutants lets mutations stack up; the seeds stay.
        if (mutator.Below(16) == 0) {
            if (corpus.size() < corpusLimit) {
                corpus.push_back(input);
            } else {
                corpus[seedCount + mutator.Below(corpusLimit - seedCount)] = input;
            }
        }
        if (maxTime <= 0 && maxRuns < 0 && runCount >= 100000) {
            break;
        }
    }
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    currentInput = nullptr;
    const double seconds = elapsed();
    std::printf("PLY fuzz: %llu runs in %.1f s (%.0f runs/s), no failure\n",
                static_cast<unsigned long long>(runCount.load()), seconds,
                double(runCount.load()) / std::max(seconds, 1e-9));
    return 0;
}
