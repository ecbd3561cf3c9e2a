// The film as a file: what a run records in it, how a film and its file turn into each other,
// and the checks a resume and a merge make before they trust a file's samples.
#pragma once

#include <string>
#include <vector>

#include "app/image_output.h"
#include "formats/film_file.h"

namespace glintor {

class Film;
struct Scene;

// The version recorded in films: "0.4.409".
std::string FilmVersion();

// The options of a loaded scene (with the command line's overrides) that change the picture but
// not the film's size or samples, as "name=value" words.
std::string PictureOptions(const Scene& scene);

// What differs between a film file's header and the one expected, as "the scene file",
// "the film size (320x240, not 640x480)" and so on, or empty when they match in all that
// decides whether their samples may be added: version, scene, options, size and block size.
std::string FilmMismatch(const FilmFileHeader& found, const FilmFileHeader& expected);

// Copies the film's sums (and passes, when it has them) with a header into file contents.
FilmFileContents CaptureFilm(const Film& film, const FilmFileHeader& header);
// Puts a file's sums into an empty film of the same size (passes only where the film has them).
void RestoreFilm(Film& film, const FilmFileContents& contents);

// Writes the film file through a partial file renamed into place (a signal that ends the
// process removes it). Answers false, having said why on standard error, when it could not.
bool SaveFilmFile(const std::string& path, const FilmFileContents& contents);

// Writes one output of the film in the given format: PNG with the tone mapping, the
// linear formats as they are, and with layered an .exr with the guide passes as well (when the
// film has them), all 32-bit floats. Answers 0 or the errno that stopped it.
int SaveOutput(const Film& film, const std::string& name, PictureFormat format, float gamma,
               float linearScale, bool layered);

// The display gamma and linear scale recorded in PictureOptions, for pictures made from films
// alone; 2.2 and 1 where the text lacks them.
void ToneOfOptions(const std::string& options, float& gamma, float& linearScale);

}  // namespace glintor
