// The program's options. A bare `glintor scene.xml` renders exactly as the scene file says; the
// options override the samples, threads, film size, depth and output names for batch scripts and
// quick previews, and choose a run without window or progress lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "render/sampling_mode.h"

namespace glintor {

struct Scene;

struct FilmSize {
    int width = 0;
    int height = 0;
};

struct CommandLine {
    std::string sceneFile;
    // Replace the scene's SavedImage; the first one also names the statistics log.
    std::vector<std::string> outputs;
    std::optional<int> samples;
    std::optional<int> threads;
    std::optional<FilmSize> size;
    std::optional<int> maxDepth;
    std::optional<SamplingMode> sampling;
    // Picks the random streams (and the low-noise sequences); without it, the usual ones.
    std::optional<uint32_t> seed;
    bool noWindow = false;
    bool quiet = false;
    // The film file written at the end, on a stop and at every checkpoint.
    std::string film;
    std::optional<int> checkpointSeconds;
    // A film file to go on from.
    std::string resume;
    // Albedo, normal and depth layers in the .exr outputs.
    bool passes = false;
    // --merge OUT IN...: the film to write and the films to add.
    std::string mergeOutput;
    std::vector<std::string> mergeInputs;
};

enum class CommandLineAction {
    Render,
    ShowUsage,    // no argument at all: the usage line, status 0
    ShowHelp,     // --help: every option, status 0
    ShowVersion,  // --version, status 0
    Merge,        // --merge: add film files, no scene
    Refuse,       // a bad option or value: the message, the usage line, status 2
};

struct ParsedCommandLine {
    CommandLineAction action = CommandLineAction::Render;
    CommandLine options;
    std::string message;  // why the command line was refused
};

// Options may come before or after the scene file; a second file argument is refused.
ParsedCommandLine ParseCommandLine(int argc, char** argv);

// "Usage: <program> SceneFile.xml" and, with every option, the text of --help.
std::string UsageLine(const std::string& program);
std::string HelpText(const std::string& program);

// Puts the overrides into a loaded scene, printing one line for each.
void ApplyOverrides(const CommandLine& options, Scene& scene);

}  // namespace glintor
