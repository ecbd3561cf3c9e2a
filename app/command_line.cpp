#include "app/command_line.h"

#include <getopt.h>
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "render/scene.h"

namespace glintor {

namespace {

// The scene file's own ranges for the values the options override.
constexpr int MinSamples = 1, MaxSamples = 10000;
constexpr int MinThreads = 0, MaxThreads = 32;
constexpr int MinFilmEdge = 128, MaxFilmEdge = 2048;
constexpr int MinDepth = 1, MaxDepth = 128;
constexpr int MinSeed = 0, MaxSeed = 2147483647;

constexpr int MinCheckpoint = 1, MaxCheckpoint = 86400;

enum LongOnly {
    SizeOption = 256,
    DepthOption,
    NoWindowOption,
    VersionOption,
    SamplingOption,
    SeedOption,
    FilmOption,
    CheckpointOption,
    ResumeOption,
    MergeOption,
    PassesOption,
};

const option Options[] = {
    {"output", required_argument, nullptr, 'o'},
    {"spp", required_argument, nullptr, 's'},
    {"threads", required_argument, nullptr, 't'},
    {"size", required_argument, nullptr, SizeOption},
    {"depth", required_argument, nullptr, DepthOption},
    {"sampling", required_argument, nullptr, SamplingOption},
    {"seed", required_argument, nullptr, SeedOption},
    {"no-window", no_argument, nullptr, NoWindowOption},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, VersionOption},
    {"film", required_argument, nullptr, FilmOption},
    {"checkpoint", required_argument, nullptr, CheckpointOption},
    {"resume", required_argument, nullptr, ResumeOption},
    {"merge", required_argument, nullptr, MergeOption},
    {"passes", no_argument, nullptr, PassesOption},
    {nullptr, 0, nullptr, 0},
};
// ':' first: a missing value is told apart from an unknown option.
constexpr const char* ShortOptions = ":o:s:t:qh";

std::string LongName(int value) {
    for (const option& o : Options) {
        if (o.name != nullptr && o.val == value) {
            return std::string("--") + o.name;
        }
    }
    return std::string("-") + static_cast<char>(value);
}

// Whether value is what a long option answers, not an unknown letter.
bool IsLongOptionValue(int value) {
    for (const option& o : Options) {
        if (o.name != nullptr && o.val == value) {
            return true;
        }
    }
    return false;
}

// A whole number in [min, max] written with digits only.
std::optional<int> ReadWhole(const char* text, int min, int max) {
    if (*text < '0' || *text > '9') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::optional<FilmSize> ReadSize(const std::string& text) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) {
        return std::nullopt;
    }
    const auto width = ReadWhole(text.substr(0, x).c_str(), MinFilmEdge, MaxFilmEdge);
    const auto height = ReadWhole(text.substr(x + 1).c_str(), MinFilmEdge, MaxFilmEdge);
    if (!width || !height) {
        return std::nullopt;
    }
    return FilmSize{*width, *height};
}

const char* ExtensionOf(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) {
        return "";
    }
    return name.c_str() + dot;
}

bool HasPictureExtension(const std::string& name) {
    const char* extension = ExtensionOf(name);
    return strcasecmp(extension, ".png") == 0 || strcasecmp(extension, ".exr") == 0 ||
           strcasecmp(extension, ".pfm") == 0;
}

bool IsFilmName(const std::string& name) {
    return strcasecmp(ExtensionOf(name), ".exr") == 0;
}

std::string FilmNameRefusal(int option, const char* text) {
    return LongName(option) + " needs a film file name ending in .exr, not '" + text + "'";
}

ParsedCommandLine Refusal(std::string message) {
    ParsedCommandLine parsed;
    parsed.action = CommandLineAction::Refuse;
    parsed.message = std::move(message);
    return parsed;
}

std::string WholeNumberRefusal(int option, const char* text, int min, int max) {
    return LongName(option) + " needs a whole number from " + std::to_string(min) + " to " +
           std::to_string(max) + ", not '" + text + "'";
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, char** argv) {
    ParsedCommandLine parsed;
    if (argc < 2) {
        parsed.action = CommandLineAction::ShowUsage;
        return parsed;
    }
    CommandLine& options = parsed.options;
    opterr = 0;  // our own message names the option once
    optind = 0;  // a full restart: the program may be run more than once in one process
    int c = 0;
    while ((c = getopt_long(argc, argv, ShortOptions, Options, nullptr)) != -1) {
        switch (c) {
            case 'o':
                if (!HasPictureExtension(optarg)) {
                    return Refusal(std::string("--output needs a name ending in .png, .exr or "
                                               ".pfm, not '") +
                                   optarg + "'");
                }
                options.outputs.emplace_back(optarg);
                break;
            case 's':
                options.samples = ReadWhole(optarg, MinSamples, MaxSamples);
                if (!options.samples) {
                    return Refusal(WholeNumberRefusal(c, optarg, MinSamples, MaxSamples));
                }
                break;
            case 't':
                options.threads = ReadWhole(optarg, MinThreads, MaxThreads);
                if (!options.threads) {
                    return Refusal(WholeNumberRefusal(c, optarg, MinThreads, MaxThreads));
                }
                break;
            case SizeOption:
                options.size = ReadSize(optarg);
                if (!options.size) {
                    return Refusal(std::string("--size needs WIDTHxHEIGHT, each from ") +
                                   std::to_string(MinFilmEdge) + " to " +
                                   std::to_string(MaxFilmEdge) + ", not '" + optarg + "'");
                }
                break;
            case DepthOption:
                options.maxDepth = ReadWhole(optarg, MinDepth, MaxDepth);
                if (!options.maxDepth) {
                    return Refusal(WholeNumberRefusal(c, optarg, MinDepth, MaxDepth));
                }
                break;
            case SamplingOption: {
                const std::string mode = optarg;
                if (mode != "design" && mode != "low-noise") {
                    return Refusal("--sampling needs design or low-noise, not '" + mode + "'");
                }
                options.sampling = mode == "design" ? SamplingMode::Design : SamplingMode::LowNoise;
                break;
            }
            case SeedOption:
                if (const auto seed = ReadWhole(optarg, MinSeed, MaxSeed)) {
                    options.seed = static_cast<uint32_t>(*seed);
                } else {
                    return Refusal(WholeNumberRefusal(c, optarg, MinSeed, MaxSeed));
                }
                break;
            case NoWindowOption:
                options.noWindow = true;
                break;
            case 'q':
                options.quiet = true;
                break;
            case FilmOption:
            case ResumeOption:
            case MergeOption:
                if (!IsFilmName(optarg)) {
                    return Refusal(FilmNameRefusal(c, optarg));
                }
                (c == FilmOption     ? options.film
                 : c == ResumeOption ? options.resume
                                     : options.mergeOutput) = optarg;
                break;
            case CheckpointOption:
                options.checkpointSeconds = ReadWhole(optarg, MinCheckpoint, MaxCheckpoint);
                if (!options.checkpointSeconds) {
                    return Refusal(WholeNumberRefusal(c, optarg, MinCheckpoint, MaxCheckpoint));
                }
                break;
            case PassesOption:
                options.passes = true;
                break;
            case 'h':
                parsed.action = CommandLineAction::ShowHelp;
                return parsed;
            case VersionOption:
                parsed.action = CommandLineAction::ShowVersion;
                return parsed;
            case ':':
                return Refusal("option '" + LongName(optopt) + "' needs a value");
            default:
                // getopt names the option in optopt: an unknown letter itself, the value of a
                // known long option given a value it does not take, or 0 for an unknown long
                // option, which is then the word just passed.
                if (optopt == 0) {
                    return Refusal(std::string("unknown option '") + argv[optind - 1] + "'");
                }
                if (IsLongOptionValue(optopt)) {
                    return Refusal("option '" + LongName(optopt) + "' takes no value");
                }
                return Refusal(std::string("unknown option '-") + static_cast<char>(optopt) + "'");
        }
    }
    if (!options.mergeOutput.empty()) {
        for (int i = optind; i < argc; ++i) {
            if (!IsFilmName(argv[i])) {
                return Refusal(FilmNameRefusal(MergeOption, argv[i]));
            }
            options.mergeInputs.emplace_back(argv[i]);
        }
        if (options.mergeInputs.size() < 2) {
            return Refusal("--merge needs at least two films to add");
        }
        parsed.action = CommandLineAction::Merge;
        return parsed;
    }
    if (optind >= argc) {
        return Refusal("no scene file given");
    }
    if (optind + 1 < argc) {
        return Refusal(std::string("only one scene file may be given, not '") + argv[optind] +
                       "' and '" + argv[optind + 1] + "'");
    }
    if (options.checkpointSeconds && options.film.empty()) {
        return Refusal("--checkpoint needs --film to name the film file");
    }
    options.sceneFile = argv[optind];
    return parsed;
}

std::string UsageLine(const std::string& program) {
    return "Usage: " + program + " SceneFile.xml";
}

std::string HelpText(const std::string& program) {
    return UsageLine(program) + "\n" + "       " + program +
           " [options] SceneFile.xml\n"
           "Renders the scene as its file says; options, before or after the scene file,\n"
           "override it:\n"
           "  -o, --output FILE  write FILE instead of the scene's SavedImage (may repeat):\n"
           "                     .png tone-mapped 8-bit, .exr linear half floats,\n"
           "                     .pfm linear 32-bit floats; the log follows the first\n"
           "  -s, --spp N        samples per pixel (1 to 10000)\n"
           "  -t, --threads N    render threads (1 to 32; 0 for one per processor)\n"
           "      --size WxH     film size in pixels (each 128 to 2048)\n"
           "      --depth N      maximum path depth (1 to 128)\n"
           "      --sampling design|low-noise\n"
           "                     how numbers are drawn: design (the default) or low-noise,\n"
           "                     the same expected picture with less noise\n"
           "      --seed N       random streams of the run (0 to 2147483647)\n"
           "      --no-window    render without the preview window\n"
           "  -q, --quiet        no progress lines\n"
           "      --film FILE.exr  keep the film (radiance sums, weights, passes) in FILE.exr\n"
           "                     at the end and when stopped by SIGTERM, SIGINT or SIGHUP\n"
           "      --checkpoint S   also write the film every S seconds (1 to 86400)\n"
           "      --resume FILE.exr  go on from a film: render the blocks it lacks, or with\n"
           "                     -s above its samples add samples to every pixel\n"
           "      --passes       add albedo, normal and depth layers to .exr outputs\n"
           "      --merge OUT.exr IN.exr...  add films of one scene made with different\n"
           "                     seeds into OUT.exr (and -o outputs); no scene file\n"
           "  -h, --help         this text\n"
           "      --version      the version line\n";
}

void ApplyOverrides(const CommandLine& options, Scene& scene) {
    RenderSettings& settings = scene.settings;
    if (options.samples) {
        settings.samples = *options.samples;
        std::printf("Command line: Samples = %d\n", settings.samples);
    }
    if (options.threads) {
        settings.threads = *options.threads;
        std::printf("Command line: Threads = %d\n", settings.threads);
    }
    if (options.size) {
        scene.width = static_cast<int16_t>(options.size->width);
        scene.height = static_cast<int16_t>(options.size->height);
        std::printf("Command line: Size = %dx%d\n", scene.width, scene.height);
    }
    if (options.maxDepth) {
        settings.maxDepth = *options.maxDepth;
        std::printf("Command line: MaxDepth = %d\n", settings.maxDepth);
    }
    // Design is what a run without the option does; only a departure from it is worth a line.
    if (options.sampling == SamplingMode::LowNoise) {
        std::printf("Command line: Sampling = low-noise\n");
    }
    if (options.seed) {
        std::printf("Command line: Seed = %u\n", *options.seed);
    }
    for (const std::string& output : options.outputs) {
        std::printf("Command line: Output = %s\n", output.c_str());
    }
    if (!options.film.empty()) {
        std::printf("Command line: Film = %s\n", options.film.c_str());
    }
    if (!options.resume.empty()) {
        std::printf("Command line: Resume = %s\n", options.resume.c_str());
    }
    std::fflush(stdout);
}

}  // namespace glintor
