// What one process loaded, in a form two processes can compare: the processes of a render group
// must all render the same scene, or their films would be summed into a blend of two pictures.
#pragma once

#include <string>
#include <vector>

namespace glintor {

struct Scene;

// One line per item, "<item>\t<value>": the counts of objects, triangles, lights and materials,
// the film size, the render settings the picture depends on (the thread count is left out: it
// may differ from machine to machine), and a hash of every file loading read ("missing" for one
// it could not). Two processes loaded the same scene when their fingerprints are equal.
std::string LoadFingerprint(const Scene& scene);

// "" when every fingerprint equals the first; otherwise one line for each process that differs
// from the first, e.g. "rank 1 differs from rank 0: triangles 0 (rank 0: 5120); file 'mesh.ply'
// missing (rank 0: 93a1...)".
std::string FingerprintDifferences(const std::vector<std::string>& fingerprints);

}  // namespace glintor
