#include "formats/film_file.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfIntAttribute.h>
#include <ImfOutputFile.h>
#include <ImfStdIO.h>
#include <ImfStringAttribute.h>
#include <ImfVersion.h>

#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <sstream>

namespace glintor {

namespace {

// Channel names in the order of the film's radiance and pass arrays.
constexpr const char* RadianceChannels[4] = {"R", "G", "B", "weight"};
constexpr const char* PassChannels[FilmPassCount] = {"albedo.R", "albedo.G", "albedo.B", "N.X",
                                                     "N.Y",      "N.Z",      "Z",        "Z.hits"};
constexpr int DistancePass = 6, HitsPass = 7;

// The film file's whole input, from memory: the fuzzer's and the tests' way in.
class MemoryStream : public Imf::IStream {
public:
    MemoryStream(const uint8_t* data, std::size_t size)
        : Imf::IStream("film in memory"), data_(data), size_(size) {}

    bool read(char c[], int n) override {
        if (n < 0 || static_cast<std::size_t>(n) > size_ - position_) {
            throw std::runtime_error("the file ends early");
        }
        std::memcpy(c, data_ + position_, static_cast<std::size_t>(n));
        position_ += static_cast<std::size_t>(n);
        return position_ < size_;
    }
    uint64_t tellg() override { return position_; }
    void seekg(uint64_t pos) override { position_ = pos <= size_ ? pos : size_; }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

std::string JoinNumbers(const std::vector<uint32_t>& values) {
    std::string text;
    for (const uint32_t v : values) {
        if (!text.empty()) {
            text += ' ';
        }
        text += std::to_string(v);
    }
    return text;
}

// Whole numbers from 0 to max separated by single spaces; anything else is refused.
bool ParseNumbers(const std::string& text, uint32_t max, std::vector<uint32_t>& values) {
    values.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        if (!values.empty()) {
            if (text[i] != ' ') {
                return false;
            }
            ++i;
        }
        uint64_t value = 0;
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 10) {
            value = value * 10 + static_cast<uint64_t>(text[i] - '0');
            ++i;
        }
        if (i == start || value > max || (i < text.size() && text[i] != ' ')) {
            return false;
        }
        values.push_back(static_cast<uint32_t>(value));
    }
    return !values.empty();
}

bool IsWhole(float v) {
    return std::isfinite(v) && v >= 0.0f && std::floor(v) == v;
}

// The file stores rows from the top; the film keeps row 0 at the bottom.
std::size_t FileIndex(const FilmFileHeader& h, int x, int y) {
    return static_cast<std::size_t>(h.height - 1 - y) * static_cast<std::size_t>(h.width) +
           static_cast<std::size_t>(x);
}

std::size_t BlockOfPixel(const FilmFileHeader& h, int x, int y) {
    const int columns = (h.width + h.blockSize - 1) / h.blockSize;
    return static_cast<std::size_t>(y / h.blockSize) * static_cast<std::size_t>(columns) +
           static_cast<std::size_t>(x / h.blockSize);
}

template <class Attribute>
const Attribute* Find(const Imf::Header& header, const char* name, std::string& error) {
    const Attribute* attribute = header.findTypedAttribute<Attribute>(name);
    if (attribute == nullptr) {
        error = std::string("it has no ") + name + " attribute";
    }
    return attribute;
}

bool ReadHeader(const Imf::Header& file, FilmFileHeader& h, std::string& error) {
    const Imath::Box2i window = file.dataWindow();
    const int64_t width = int64_t(window.max.x) - window.min.x + 1;
    const int64_t height = int64_t(window.max.y) - window.min.y + 1;
    if (window.min.x != 0 || window.min.y != 0 || width < 1 || height < 1 ||
        width > MaxFilmFileEdge || height > MaxFilmFileEdge) {
        error = "its size is not a film's (1 to " + std::to_string(MaxFilmFileEdge) +
                " pixels each way from 0, 0)";
        return false;
    }
    h.width = static_cast<int>(width);
    h.height = static_cast<int>(height);
    for (const char* name : RadianceChannels) {
        const Imf::Channel* channel = file.channels().findChannel(name);
        if (channel == nullptr || channel->type != Imf::FLOAT || channel->xSampling != 1 ||
            channel->ySampling != 1) {
            error = std::string("it has no 32-bit float channel ") + name;
            return false;
        }
    }
    const auto* version = Find<Imf::StringAttribute>(file, "glintor.version", error);
    const auto* sceneHash = Find<Imf::StringAttribute>(file, "glintor.sceneHash", error);
    const auto* options = Find<Imf::StringAttribute>(file, "glintor.options", error);
    const auto* seeds = Find<Imf::StringAttribute>(file, "glintor.seeds", error);
    const auto* blockSize = Find<Imf::IntAttribute>(file, "glintor.blockSize", error);
    const auto* samples = Find<Imf::IntAttribute>(file, "glintor.samplesPerPixel", error);
    const auto* blockSamples = Find<Imf::StringAttribute>(file, "glintor.blockSamples", error);
    if (!version || !sceneHash || !options || !seeds || !blockSize || !samples || !blockSamples) {
        return false;
    }
    h.version = version->value();
    h.sceneHash = sceneHash->value();
    h.options = options->value();
    h.blockSize = blockSize->value();
    h.samplesPerPixel = samples->value();
    if (h.version.empty() || h.sceneHash.size() != 16 ||
        h.sceneHash.find_first_not_of("0123456789abcdef") != std::string::npos) {
        error = "its version or scene hash is not valid";
        return false;
    }
    if (!ParseNumbers(seeds->value(), std::numeric_limits<uint32_t>::max(), h.seeds)) {
        error = "its list of seeds is not valid";
        return false;
    }
    if (h.blockSize < 1 || h.blockSize > MaxFilmFileEdge || h.samplesPerPixel < 1 ||
        h.samplesPerPixel > static_cast<int>(MaxFilmFileSamples)) {
        error = "its block size or samples per pixel is out of range";
        return false;
    }
    // The list is bounded by its attribute's own size, read already; its count is checked
    // before any pixel memory is sized by it.
    if (!ParseNumbers(blockSamples->value(), static_cast<uint32_t>(h.samplesPerPixel),
                      h.blockSamples) ||
        h.blockSamples.size() != FilmBlockCount(h.width, h.height, h.blockSize)) {
        error = "its list of samples per block does not match its size and samples per pixel";
        return false;
    }
    return true;
}

// Checks what the pixels claim against the header and turns the stored means back into sums.
bool CheckPixels(FilmFileContents& film, const std::vector<float>& passMeans, bool hasPasses,
                 std::string& error) {
    const FilmFileHeader& h = film.header;
    for (int y = 0; y < h.height; ++y) {
        for (int x = 0; x < h.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * h.width + x;
            float* p = &film.radiance[i * 4];
            const float samples = static_cast<float>(h.blockSamples[BlockOfPixel(h, x, y)]);
            const bool finite = std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
            if (!finite || !IsWhole(p[3]) || p[3] > samples ||
                (p[3] == 0.0f && (p[0] != 0.0f || p[1] != 0.0f || p[2] != 0.0f))) {
                error = "pixel " + std::to_string(x) + ", " + std::to_string(y) +
                        " holds more or other than its block's samples";
                return false;
            }
            if (!hasPasses) {
                continue;
            }
            const float* mean = &passMeans[i * FilmPassCount];
            float* sum = &film.passes[i * FilmPassCount];
            const float hits = mean[HitsPass];
            bool valid = IsWhole(hits) && hits <= p[3];
            for (int k = 0; k < DistancePass; ++k) {
                valid = valid && std::isfinite(mean[k]);
                sum[k] = mean[k] * p[3];
            }
            valid = valid && (hits == 0.0f ||
                              (std::isfinite(mean[DistancePass]) && mean[DistancePass] >= 0.0f));
            if (!valid) {
                error = "pixel " + std::to_string(x) + ", " + std::to_string(y) +
                        " has passes that are not valid";
                return false;
            }
            sum[DistancePass] = hits > 0.0f ? mean[DistancePass] * hits : 0.0f;
            sum[HitsPass] = hits;
        }
    }
    return true;
}

void AddSlice(Imf::FrameBuffer& buffer, const char* name, float* base, std::size_t stride,
              int width) {
    buffer.insert(name, Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(base),
                                   sizeof(float) * stride, sizeof(float) * stride * width));
}

// A plain single-part scan-line file, and its header a film's, before the library sizes
// anything by what the file claims.
bool ReadHeaderFirst(Imf::IStream& stream, FilmFileHeader& h, std::string& error) {
    char start[8];
    stream.read(start, 8);
    int version = 0;
    std::memcpy(&version, start + 4, sizeof version);
    if (!Imf::isImfMagic(start) || Imf::getVersion(version) != 2 || Imf::isTiled(version) ||
        Imf::isMultiPart(version) || Imf::isNonImage(version)) {
        error = "it is not a single-part scan-line OpenEXR file";
        return false;
    }
    Imf::Header header;
    header.readFrom(stream, version);
    if (!ReadHeader(header, h, error)) {
        return false;
    }
    stream.seekg(0);
    return true;
}

bool ReadFrom(Imf::IStream& stream, FilmFileContents& film, std::string& error) {
    if (!ReadHeaderFirst(stream, film.header, error)) {
        return false;
    }
    Imf::InputFile file(stream, 1);
    if (!ReadHeader(file.header(), film.header, error)) {
        return false;
    }
    const FilmFileHeader& h = film.header;
    const std::size_t pixels = static_cast<std::size_t>(h.width) * h.height;
    bool hasPasses = true;
    for (const char* name : PassChannels) {
        const Imf::Channel* channel = file.header().channels().findChannel(name);
        hasPasses = hasPasses && channel != nullptr && channel->type == Imf::FLOAT &&
                    channel->xSampling == 1 && channel->ySampling == 1;
    }
    std::vector<float> radiance(pixels * 4), passMeans(hasPasses ? pixels * FilmPassCount : 0);
    Imf::FrameBuffer buffer;
    for (int c = 0; c < 4; ++c) {
        AddSlice(buffer, RadianceChannels[c], radiance.data() + c, 4, h.width);
    }
    for (int c = 0; hasPasses && c < FilmPassCount; ++c) {
        AddSlice(buffer, PassChannels[c], passMeans.data() + c, FilmPassCount, h.width);
    }
    file.setFrameBuffer(buffer);
    file.readPixels(0, h.height - 1);

    film.radiance.assign(pixels * 4, 0.0f);
    film.passes.assign(pixels * FilmPassCount, 0.0f);
    std::vector<float> flippedPasses(passMeans.size());
    for (int y = 0; y < h.height; ++y) {
        for (int x = 0; x < h.width; ++x) {
            const std::size_t to = static_cast<std::size_t>(y) * h.width + x;
            const std::size_t from = FileIndex(h, x, y);
            std::memcpy(&film.radiance[to * 4], &radiance[from * 4], 4 * sizeof(float));
            if (hasPasses) {
                std::memcpy(&flippedPasses[to * FilmPassCount], &passMeans[from * FilmPassCount],
                            FilmPassCount * sizeof(float));
            }
        }
    }
    return CheckPixels(film, flippedPasses, hasPasses, error);
}

// OpenEXR reports every problem by throwing; none gets past here.
template <class Open>
bool ReadCatching(Open open, FilmFileContents& film, std::string& error) {
    film = FilmFileContents();
    try {
        if (open(film, error)) {
            return true;
        }
    } catch (const std::exception& e) {
        error = std::string("it is not a readable OpenEXR file (") + e.what() + ")";
    }
    film = FilmFileContents();
    return false;
}

// Writes the film's channels to path: its sums and weights with the attributes of a film file,
// or (layered) only the means that a compositor wants.
bool WriteChannels(const std::string& path, const FilmFileContents& film, bool layered,
                   std::string& error) {
    const FilmFileHeader& h = film.header;
    const std::size_t pixels = static_cast<std::size_t>(h.width) * h.height;
    if (h.width < 1 || h.height < 1 || film.radiance.size() != pixels * 4 ||
        (!film.passes.empty() && film.passes.size() != pixels * FilmPassCount)) {
        error = "the film is empty";
        return false;
    }
    std::vector<float> radiance(pixels * 4), passes(film.passes.size());
    for (int y = 0; y < h.height; ++y) {
        for (int x = 0; x < h.width; ++x) {
            const std::size_t from = static_cast<std::size_t>(y) * h.width + x;
            const std::size_t to = FileIndex(h, x, y);
            const float* p = &film.radiance[from * 4];
            for (int c = 0; c < 4; ++c) {
                const bool mean = layered && c < 3;
                radiance[to * 4 + c] = !mean ? p[c] : p[3] > 0.0f ? p[c] / p[3] : 0.0f;
            }
            if (passes.empty()) {
                continue;
            }
            const float* sum = &film.passes[from * FilmPassCount];
            float* mean = &passes[to * FilmPassCount];
            for (int k = 0; k < DistancePass; ++k) {
                mean[k] = p[3] > 0.0f ? sum[k] / p[3] : 0.0f;
            }
            mean[DistancePass] = sum[HitsPass] > 0.0f ? sum[DistancePass] / sum[HitsPass]
                                                      : std::numeric_limits<float>::infinity();
            mean[HitsPass] = sum[HitsPass];
        }
    }
    try {
        Imf::Header header(h.width, h.height);
        header.compression() = Imf::ZIP_COMPRESSION;
        if (!layered) {
            header.insert("glintor.version", Imf::StringAttribute(h.version));
            header.insert("glintor.sceneHash", Imf::StringAttribute(h.sceneHash));
            header.insert("glintor.options", Imf::StringAttribute(h.options));
            header.insert("glintor.seeds", Imf::StringAttribute(JoinNumbers(h.seeds)));
            header.insert("glintor.blockSize", Imf::IntAttribute(h.blockSize));
            header.insert("glintor.samplesPerPixel", Imf::IntAttribute(h.samplesPerPixel));
            header.insert("glintor.blockSamples",
                          Imf::StringAttribute(JoinNumbers(h.blockSamples)));
        }
        Imf::FrameBuffer buffer;
        for (int c = 0; c < (layered ? 3 : 4); ++c) {
            header.channels().insert(RadianceChannels[c], Imf::Channel(Imf::FLOAT));
            AddSlice(buffer, RadianceChannels[c], radiance.data() + c, 4, h.width);
        }
        for (int c = 0; !passes.empty() && c < (layered ? HitsPass : FilmPassCount); ++c) {
            header.channels().insert(PassChannels[c], Imf::Channel(Imf::FLOAT));
            AddSlice(buffer, PassChannels[c], passes.data() + c, FilmPassCount, h.width);
        }
        Imf::OutputFile file(path.c_str(), header, 1);
        file.setFrameBuffer(buffer);
        file.writePixels(h.height);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

}  // namespace

std::size_t FilmBlockCount(int width, int height, int blockSize) {
    if (width < 1 || height < 1 || blockSize < 1) {
        return 0;
    }
    const std::size_t columns = static_cast<std::size_t>((width + blockSize - 1) / blockSize);
    const std::size_t rows = static_cast<std::size_t>((height + blockSize - 1) / blockSize);
    return columns * rows;
}

bool WriteFilmFile(const std::string& path, const FilmFileContents& film, std::string& error) {
    return WriteChannels(path, film, false, error);
}

bool WriteLayeredPicture(const std::string& path, const FilmFileContents& film,
                         std::string& error) {
    return WriteChannels(path, film, true, error);
}

bool ReadFilmFile(const std::string& path, FilmFileContents& film, std::string& error) {
    return ReadCatching(
        [&path](FilmFileContents& f, std::string& e) {
            Imf::StdIFStream stream(path.c_str());
            return ReadFrom(stream, f, e);
        },
        film, error);
}

bool ReadFilmFile(const uint8_t* data, std::size_t size, FilmFileContents& film,
                  std::string& error) {
    return ReadCatching(
        [data, size](FilmFileContents& f, std::string& e) {
            MemoryStream stream(data, size);
            return ReadFrom(stream, f, e);
        },
        film, error);
}

std::string HashBytes(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    std::ostringstream text;
    text.width(16);
    text.fill('0');
    text << std::hex << hash;
    return text.str();
}

}  // namespace glintor
