// The files the readers of this folder were asked to read (scene documents, PLY meshes,
// pictures), in order, whether they could be read or not. A loader takes the list to tell what a
// scene was made from; the ranks of a cluster compare it to be sure they all rendered the same.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glintor {

// Called by each reader as it opens a file. The list is the calling thread's own.
void NoteFileRead(const std::string& path);

// The names noted on this thread since the last call; the list starts empty again.
std::vector<std::string> TakeFilesRead();

// A 64-bit FNV-1a hash of the file's bytes, or nothing when it cannot be read.
std::optional<uint64_t> HashFileBytes(const std::string& path);
// The hash of no bytes.
constexpr uint64_t EmptyHash = 14695981039346656037ull;
// A hash as 16 hex digits.
std::string HashText(uint64_t hash);

}  // namespace glintor
