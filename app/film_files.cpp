#include "app/film_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/image_output.h"
#include "app/version.h"
#include "platform/partial_file.h"
#include "render/film.h"
#include "render/scene.h"

namespace glintor {

static_assert(Film::PassCount == FilmPassCount, "the film and its file keep the same passes");

namespace {

std::string SizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string Differs(const std::string& what, const std::string& found,
                    const std::string& expected) {
    return what + " (" + found + ", not " + expected + ")";
}

}  // namespace

std::string FilmVersion() {
    return "0." + std::to_string(VersionMinor) + "." + BuildString;
}

std::string PictureOptions(const Scene& scene) {
    char text[128];
    std::snprintf(text, sizeof text, "maxDepth=%d gamma=%g linearScale=%g", scene.settings.maxDepth,
                  static_cast<double>(scene.gamma), static_cast<double>(scene.linearScale));
    return text;
}

std::string FilmMismatch(const FilmFileHeader& found, const FilmFileHeader& expected) {
    if (found.version != expected.version) {
        return Differs("the program version", found.version, expected.version);
    }
    if (found.sceneHash != expected.sceneHash) {
        return "the scene file";
    }
    if (found.width != expected.width || found.height != expected.height) {
        return Differs("the film size", SizeText(found.width, found.height),
                       SizeText(expected.width, expected.height));
    }
    if (found.blockSize != expected.blockSize) {
        return Differs("the block size", std::to_string(found.blockSize),
                       std::to_string(expected.blockSize));
    }
    if (found.options != expected.options) {
        return Differs("the options", found.options, expected.options);
    }
    return "";
}

FilmFileContents CaptureFilm(const Film& film, const FilmFileHeader& header) {
    FilmFileContents contents;
    contents.header = header;
    const std::size_t pixels = static_cast<std::size_t>(film.pixelCount);
    contents.radiance.assign(film.accumulation, film.accumulation + pixels * 4);
    if (film.passes != nullptr) {
        contents.passes.assign(film.passes, film.passes + pixels * Film::PassCount);
    }
    return contents;
}

void RestoreFilm(Film& film, const FilmFileContents& contents) {
    const std::size_t pixels = static_cast<std::size_t>(film.pixelCount);
    if (contents.radiance.size() == pixels * 4) {
        std::memcpy(film.accumulation, contents.radiance.data(), pixels * 4 * sizeof(float));
    }
    if (film.passes != nullptr && contents.passes.size() == pixels * Film::PassCount) {
        std::memcpy(film.passes, contents.passes.data(), pixels * Film::PassCount * sizeof(float));
    }
}

namespace {

using Writer = bool (*)(const std::string&, const FilmFileContents&, std::string&);

// 0 or the errno that stopped the write; reason then says why, in the writer's words where it
// had them.
int SaveThroughPartialFile(const std::string& path, const FilmFileContents& contents, Writer write,
                           std::string& reason) {
    reason.clear();
    const int error = WriteThroughPartialFile(path, [&](const std::string& partial) {
        return write(partial, contents, reason) ? 0 : EIO;
    });
    if (error != 0 && reason.empty()) {
        reason = std::strerror(error);
    }
    return error;
}

}  // namespace

bool SaveFilmFile(const std::string& path, const FilmFileContents& contents) {
    std::string error;
    if (SaveThroughPartialFile(path, contents, WriteFilmFile, error) == 0) {
        return true;
    }
    std::fprintf(stderr, "Could not write the film to '%s': %s\n", path.c_str(), error.c_str());
    return false;
}

int SaveOutput(const Film& film, const std::string& name, PictureFormat format, float gamma,
               float linearScale, bool layered) {
    if (format == PictureFormat::Exr && layered && film.passes != nullptr) {
        FilmFileHeader header;
        header.width = film.width;
        header.height = film.height;
        std::string reason;
        return SaveThroughPartialFile(name, CaptureFilm(film, header), WriteLayeredPicture, reason);
    }
    return format == PictureFormat::Png ? SaveImage(film, name, gamma, linearScale)
                                        : SaveLinearImage(film, name, format);
}

void ToneOfOptions(const std::string& options, float& gamma, float& linearScale) {
    gamma = 2.2f;
    linearScale = 1.0f;
    const std::size_t at = options.find("gamma=");
    if (at != std::string::npos) {
        std::sscanf(options.c_str() + at, "gamma=%f linearScale=%f", &gamma, &linearScale);
    }
    if (!(gamma > 0.0f)) {
        gamma = 2.2f;
    }
}

}  // namespace glintor
