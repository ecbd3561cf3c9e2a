#include "app/load_fingerprint.h"

#include <sstream>
#include <utility>

#include "formats/files_read.h"
#include "render/scene.h"

namespace glintor {

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

Items ReadItems(const std::string& fingerprint) {
    Items items;
    std::istringstream lines(fingerprint);
    for (std::string line; std::getline(lines, line);) {
        const size_t tab = line.find('\t');
        items.emplace_back(line.substr(0, tab),
                           tab == std::string::npos ? "" : line.substr(tab + 1));
    }
    return items;
}

const std::string* Find(const Items& items, const std::string& name) {
    for (const auto& [item, value] : items) {
        if (item == name) {
            return &value;
        }
    }
    return nullptr;
}

std::string ValueOrNone(const std::string* value) {
    return value != nullptr ? *value : "not read";
}

}  // namespace

std::string LoadFingerprint(const Scene& scene) {
    const RenderSettings& s = scene.settings;
    std::ostringstream out;
    out << "objects\t" << scene.objects.size() << "\n"
        << "triangles\t" << scene.meshTriangleCount << "\n"
        << "lights\t" << scene.lights.size() << "\n"
        << "materials\t" << scene.materials.size() << "\n"
        << "film\t" << scene.width << "x" << scene.height << "\n"
        << "settings\tsamples " << s.samples << ", shadow rays " << s.shadowRays << ", depth "
        << s.maxDepth << ", roulette " << s.rrDepth << " " << s.rrProbability << ", filter "
        << s.gaussianFilter << " " << s.filterRadius << ", block " << s.pixelBlockSize << "\n";
    for (const std::string& file : scene.sourceFiles) {
        const auto bytes = HashFileBytes(file);
        out << "file '" << file << "'\t" << (bytes ? HashText(*bytes) : "missing") << "\n";
    }
    return out.str();
}

std::string FingerprintDifferences(const std::vector<std::string>& fingerprints) {
    if (fingerprints.empty()) {
        return "";
    }
    const Items first = ReadItems(fingerprints.front());
    std::string report;
    for (size_t rank = 1; rank < fingerprints.size(); ++rank) {
        if (fingerprints[rank] == fingerprints.front()) {
            continue;
        }
        const Items here = ReadItems(fingerprints[rank]);
        std::string differences;
        auto add = [&](const std::string& item, const std::string* value, const std::string* o) {
            if (value != nullptr && o != nullptr && *value == *o) {
                return;
            }
            differences += (differences.empty() ? "" : "; ") + item + " " + ValueOrNone(value) +
                           " (rank 0: " + ValueOrNone(o) + ")";
        };
        for (const auto& [item, value] : first) {
            add(item, Find(here, item), &value);
        }
        for (const auto& [item, value] : here) {
            if (Find(first, item) == nullptr) {
                add(item, &value, nullptr);
            }
        }
        report += "rank " + std::to_string(rank) + " differs from rank 0: " + differences + "\n";
    }
    return report;
}

}  // namespace glintor
