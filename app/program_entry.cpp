#include "app/program_entry.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/command_line.h"
#include "app/film_merge.h"
#include "app/load_fingerprint.h"
#include "app/output_check.h"
#include "app/render_startup.h"
#include "formats/film_file.h"
#include "formats/files_read.h"
#include "platform/platform.h"
#include "render/render_job.h"
#include "scene/scene_loader.h"

namespace glintor {

ScenePath SplitScenePath(const std::string& argument) {
    ScenePath path;
    const std::size_t separator = argument.find_last_of("/\\");
    if (separator == std::string::npos) {
        path.fileName = argument;
        return path;
    }
    path.hasFolder = true;
    path.fileName = argument.substr(separator + 1);
    path.folder = PortablePath(argument.substr(0, separator));
    if (path.folder.empty() && argument[separator] == '/') {
        path.folder.push_back('/');
    }
    return path;
}

std::string VersionLine() {
    char line[64];
    std::snprintf(line, sizeof(line), "Glintor v0.%u.%s by Quarnel", VersionMinor, BuildString);
    return line;
}

std::string WindowTitle(const std::string& fileName) {
    return VersionLine() + " - " + fileName;
}

const char* UnusableSceneMessage(const Scene& scene) {
    if (scene.objects.empty()) {
        return "Please add objects to your scene";
    }
    if (scene.materials.empty()) {
        return "Please add materials to your scene";
    }
    return nullptr;
}

std::string SceneFileHash(const std::string& fileName) {
    // A file that cannot be read hashes like an empty one.
    return HashText(HashFileBytes(fileName).value_or(EmptyHash));
}

namespace {

// Names typed on the command line mean the folder the program was started in, not the scene's
// folder entered later. Makes every name given absolute; answers "" or why one could not be made
// so (the current folder was deleted, for one).
std::string MadeAbsolute(const std::vector<std::string*>& names) {
    for (std::string* name : names) {
        if (name->empty()) {
            continue;
        }
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(*name, error);
        if (error) {
            return "cannot write '" + *name + "': " + error.message();
        }
        *name = absolute.string();
    }
    return "";
}

// A scaled scene can be larger than a film file holds; it is refused before hours of rendering
// would end in a film that no resume or merge could read.
std::string FilmSizeProblem(const Scene& scene, const std::string& film) {
    if (scene.width <= MaxFilmFileEdge && scene.height <= MaxFilmFileEdge) {
        return "";
    }
    return "cannot keep the film of a " + std::to_string(scene.width) + "x" +
           std::to_string(scene.height) + " picture in '" + film + "': film files hold at most " +
           std::to_string(MaxFilmFileEdge) + " pixels a side";
}

}  // namespace

int RunProgram(int argc, char** argv) {
    SingleProcess single;
    return RunProgram(argc, argv, single);
}

int RunProgram(int argc, char** argv, RenderGroupBase& group) {
    // The render clock counts from here, so the time shown and logged includes loading.
    RenderJob::Instance().clock.Start();
    ParsedCommandLine parsed = ParseCommandLine(argc, argv);
    const std::string program = group.ProgramName();
    switch (parsed.action) {
        case CommandLineAction::ShowUsage:
            std::printf("%s\n", UsageLine(program).c_str());
            return 0;
        case CommandLineAction::ShowHelp:
            std::fputs(HelpText(program).c_str(), stdout);
            return 0;
        case CommandLineAction::ShowVersion:
            std::printf("%s\n", VersionLine().c_str());
            return 0;
        case CommandLineAction::Refuse:
            std::fprintf(stderr, "%s: %s\n%s\nTry '%s --help' for the options.\n", program.c_str(),
                         parsed.message.c_str(), UsageLine(program).c_str(), program.c_str());
            return 2;
        case CommandLineAction::Merge:
            return RunMerge(parsed.options);
        case CommandLineAction::Render:
            break;
    }
    CommandLine& options = parsed.options;
    // Only the first rank writes, so only it checks where; the others learn of a problem at the
    // load check and stop with it.
    std::string problem;
    if (group.Rank() == 0) {
        std::vector<std::string*> names;
        for (std::string& output : options.outputs) {
            names.push_back(&output);
        }
        names.insert(names.end(), {&options.film, &options.resume});
        problem = MadeAbsolute(names);
        if (problem.empty()) {
            problem = CheckOutputs(options.outputs, options.film);
        }
    }

    Scene scene;
    bool usable = problem.empty();
    const ScenePath path = SplitScenePath(options.sceneFile);
    if (usable) {
        // Loading is tried anyway: relative paths then resolve against the old directory.
        if (path.hasFolder && !ChangeDirectory(path.folder)) {
            std::printf("Filed to set path\n");
        }
        usable = LoadScene(path.fileName.c_str(), scene);
    }
    if (usable) {
        if (const char* message = UnusableSceneMessage(scene)) {
            std::printf("%s\n", message);
            usable = false;
        } else if (group.Rank() == 0 && options.outputs.empty()) {
            // The scene's own picture, in the scene's folder.
            problem = CheckOutputs({scene.settings.savedImage});
            usable = problem.empty();
        }
    }
    if (usable) {
        ApplyOverrides(options, scene);
        if (group.Rank() == 0 && !options.film.empty()) {
            problem = FilmSizeProblem(scene, options.film);
            usable = problem.empty();
        }
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), problem.c_str());
    }
    if (!group.EveryoneLoaded(usable, [&scene] { return LoadFingerprint(scene); })) {
        return problem.empty() ? group.LoadFailureStatus() : 2;
    }
    return StartRendering(scene, options, WindowTitle(path.fileName), SceneFileHash(path.fileName),
                          group, argc, argv);
}

}  // namespace glintor
