#include "formats/film_file.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIntAttribute.h>
#include <ImfOutputFile.h>
#include <ImfStringAttribute.h>
#include <openexr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <limits>

namespace glintor {

namespace {

// Channel names in the order of the film's radiance and pass arrays.
constexpr const char* RadianceChannels[4] = {"R", "G", "B", "weight"};
constexpr const char* PassChannels[FilmPassCount] = {"albedo.R", "albedo.G", "albedo.B", "N.X",
                                                     "N.Y",      "N.Z",      "Z",        "Z.hits"};
constexpr int DistancePass = 6, HitsPass = 7;

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

// Whole numbers from 0 to max separated by single spaces, at most `most` of them; anything else
// is refused, a list too long as soon as it is seen to be.
bool ParseNumbers(const std::string& text, uint32_t max, std::vector<uint32_t>& values,
                  std::size_t most = std::numeric_limits<std::size_t>::max()) {
    values.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        if (values.size() == most) {
            return false;
        }
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

// An open film file: OpenEXR's core library holds every size the file claims against the
// file's own before it allocates, which its C++ library does not do for header attributes.
class CoreFile {
public:
    CoreFile(const uint8_t* data, std::size_t size) : bytes_{data, size} {}
    ~CoreFile() { exr_finish(&context_); }
    CoreFile(const CoreFile&) = delete;
    CoreFile& operator=(const CoreFile&) = delete;

    // Parses the header, with the film's size limits.
    exr_result_t Open() {
        exr_context_initializer_t init = EXR_DEFAULT_CONTEXT_INITIALIZER;
        init.error_handler_fn = [](exr_const_context_t, exr_result_t, const char*) {};
        init.user_data = &bytes_;
        init.read_fn = Read;
        init.size_fn = Size;
        init.max_image_width = init.max_image_height = MaxFilmFileEdge;
        return exr_start_read(&context_, "film", &init);
    }
    exr_context_t Context() const { return context_; }

private:
    struct Bytes {
        const uint8_t* data;
        std::size_t size;
    };
    static int64_t Read(exr_const_context_t, void* userData, void* buffer, uint64_t count,
                        uint64_t offset, exr_stream_error_func_ptr_t) {
        const Bytes& bytes = *static_cast<const Bytes*>(userData);
        if (offset >= bytes.size) {
            return 0;
        }
        const uint64_t n = std::min<uint64_t>(count, bytes.size - offset);
        std::memcpy(buffer, bytes.data + offset, n);
        return static_cast<int64_t>(n);
    }
    static int64_t Size(exr_const_context_t, void* userData) {
        return static_cast<int64_t>(static_cast<const Bytes*>(userData)->size);
    }

    Bytes bytes_;
    exr_context_t context_ = nullptr;
};

bool GetString(exr_context_t file, const char* name, std::string& value, std::string& error) {
    int32_t length = 0;
    const char* text = nullptr;
    if (exr_attr_get_string(file, 0, name, &length, &text) != EXR_ERR_SUCCESS || length < 0) {
        error = std::string("it has no ") + name + " attribute";
        return false;
    }
    value.assign(text, static_cast<std::size_t>(length));
    return true;
}

bool GetInt(exr_context_t file, const char* name, int& value, std::string& error) {
    int32_t v = 0;
    if (exr_attr_get_int(file, 0, name, &v) != EXR_ERR_SUCCESS) {
        error = std::string("it has no ") + name + " attribute";
        return false;
    }
    value = v;
    return true;
}

// The channel of that name when the file has it as full-resolution 32-bit floats.
bool HasFloatChannel(const exr_attr_chlist_t& channels, const char* name) {
    for (int i = 0; i < channels.num_channels; ++i) {
        const exr_attr_chlist_entry_t& c = channels.entries[i];
        if (c.name.str != nullptr && std::strcmp(c.name.str, name) == 0) {
            return c.pixel_type == EXR_PIXEL_FLOAT && c.x_sampling == 1 && c.y_sampling == 1;
        }
    }
    return false;
}

bool ReadHeader(exr_context_t file, FilmFileHeader& h, bool& hasPasses, std::string& error) {
    int parts = 0;
    exr_storage_t storage = EXR_STORAGE_LAST_TYPE;
    exr_attr_box2i_t window{};
    const exr_attr_chlist_t* channels = nullptr;
    if (exr_get_count(file, &parts) != EXR_ERR_SUCCESS || parts != 1 ||
        exr_get_storage(file, 0, &storage) != EXR_ERR_SUCCESS || storage != EXR_STORAGE_SCANLINE ||
        exr_get_data_window(file, 0, &window) != EXR_ERR_SUCCESS ||
        exr_get_channels(file, 0, &channels) != EXR_ERR_SUCCESS || channels == nullptr) {
        error = "it is not a single-part scan-line OpenEXR file";
        return false;
    }
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
        if (!HasFloatChannel(*channels, name)) {
            error = std::string("it has no 32-bit float channel ") + name;
            return false;
        }
    }
    hasPasses = true;
    for (const char* name : PassChannels) {
        hasPasses = hasPasses && HasFloatChannel(*channels, name);
    }
    std::string seeds, blockSamples;
    if (!GetString(file, "glintor.version", h.version, error) ||
        !GetString(file, "glintor.sceneHash", h.sceneHash, error) ||
        !GetString(file, "glintor.options", h.options, error) ||
        !GetString(file, "glintor.seeds", seeds, error) ||
        !GetInt(file, "glintor.blockSize", h.blockSize, error) ||
        !GetInt(file, "glintor.samplesPerPixel", h.samplesPerPixel, error) ||
        !GetString(file, "glintor.blockSamples", blockSamples, error)) {
        return false;
    }
    if (h.version.empty() || h.sceneHash.size() != 16 ||
        h.sceneHash.find_first_not_of("0123456789abcdef") != std::string::npos) {
        error = "its version or scene hash is not valid";
        return false;
    }
    // A film always comes from at least one run, and a resume picks its next seed from them.
    if (!ParseNumbers(seeds, std::numeric_limits<uint32_t>::max(), h.seeds)) {
        error = "its list of seeds is not valid";
        return false;
    }
    if (h.blockSize < 1 || h.blockSize > MaxFilmFileEdge || h.samplesPerPixel < 1 ||
        h.samplesPerPixel > static_cast<int>(MaxFilmFileSamples)) {
        error = "its block size or samples per pixel is out of range";
        return false;
    }
    const std::size_t blocks = FilmBlockCount(h.width, h.height, h.blockSize);
    if (!ParseNumbers(blockSamples, static_cast<uint32_t>(h.samplesPerPixel), h.blockSamples,
                      blocks) ||
        h.blockSamples.size() != blocks) {
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

// Decodes every chunk's channels of the given names into interleaved arrays in file order.
bool ReadPixels(exr_context_t file, const FilmFileHeader& h, const char* const* names, int count,
                float* out, std::string& error) {
    int32_t linesPerChunk = 0;
    if (exr_get_scanlines_per_chunk(file, 0, &linesPerChunk) != EXR_ERR_SUCCESS ||
        linesPerChunk < 1) {
        error = "its pixel data cannot be read";
        return false;
    }
    exr_decode_pipeline_t decoder{};
    bool started = false;
    exr_result_t result = EXR_ERR_SUCCESS;
    const std::size_t stride = static_cast<std::size_t>(count) * sizeof(float);
    for (int y = 0; y < h.height && result == EXR_ERR_SUCCESS; y += linesPerChunk) {
        exr_chunk_info_t chunk{};
        result = exr_read_scanline_chunk_info(file, 0, y, &chunk);
        if (result != EXR_ERR_SUCCESS) {
            break;
        }
        result = started ? exr_decoding_update(file, 0, &chunk, &decoder)
                         : exr_decoding_initialize(file, 0, &chunk, &decoder);
        if (result != EXR_ERR_SUCCESS) {
            break;
        }
        if (chunk.start_y < 0 || chunk.height < 1 || chunk.start_y + chunk.height > h.height) {
            result = EXR_ERR_CORRUPT_CHUNK;
            break;
        }
        for (int c = 0; c < decoder.channel_count; ++c) {
            exr_coding_channel_info_t& channel = decoder.channels[c];
            channel.decode_to_ptr = nullptr;
            for (int k = 0; k < count; ++k) {
                if (std::strcmp(channel.channel_name, names[k]) == 0) {
                    channel.decode_to_ptr = reinterpret_cast<uint8_t*>(
                        out + static_cast<std::size_t>(chunk.start_y) * h.width * count + k);
                }
            }
            channel.user_bytes_per_element = sizeof(float);
            channel.user_data_type = EXR_PIXEL_FLOAT;
            channel.user_pixel_stride = static_cast<int32_t>(stride);
            channel.user_line_stride = static_cast<int32_t>(stride * h.width);
        }
        if (!started) {
            result = exr_decoding_choose_default_routines(file, 0, &decoder);
            started = result == EXR_ERR_SUCCESS;
        }
        if (result == EXR_ERR_SUCCESS) {
            result = exr_decoding_run(file, 0, &decoder);
        }
    }
    exr_decoding_destroy(file, &decoder);
    if (result != EXR_ERR_SUCCESS) {
        error = std::string("its pixel data cannot be read (") +
                exr_get_default_error_message(result) + ")";
        return false;
    }
    return true;
}

bool ReadFrom(const uint8_t* data, std::size_t size, FilmFileContents& film, std::string& error) {
    CoreFile file(data, size);
    const exr_result_t opened = file.Open();
    if (opened != EXR_ERR_SUCCESS) {
        error = std::string("it is not a readable OpenEXR file (") +
                exr_get_default_error_message(opened) + ")";
        return false;
    }
    bool hasPasses = false;
    if (!ReadHeader(file.Context(), film.header, hasPasses, error)) {
        return false;
    }
    const FilmFileHeader& h = film.header;
    const std::size_t pixels = static_cast<std::size_t>(h.width) * h.height;
    std::vector<float> radiance(pixels * 4), passMeans(hasPasses ? pixels * FilmPassCount : 0);
    if (!ReadPixels(file.Context(), h, RadianceChannels, 4, radiance.data(), error) ||
        (hasPasses &&
         !ReadPixels(file.Context(), h, PassChannels, FilmPassCount, passMeans.data(), error))) {
        return false;
    }

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
    film = FilmFileContents();
    std::error_code failure;
    const auto size = std::filesystem::file_size(path, failure);
    if (failure) {
        error = failure.message();
        return false;
    }
    // Even a film of the largest size with every pass is far smaller.
    if (size > (uint64_t(1) << 31)) {
        error = "it is larger than any film";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        error = "it cannot be read";
        return false;
    }
    return ReadFilmFile(bytes.data(), bytes.size(), film, error);
}

bool ReadFilmFile(const uint8_t* data, std::size_t size, FilmFileContents& film,
                  std::string& error) {
    film = FilmFileContents();
    try {
        if (ReadFrom(data, size, film, error)) {
            return true;
        }
    } catch (const std::bad_alloc&) {
        error = "there is no memory to read it";
    }
    film = FilmFileContents();
    return false;
}

}  // namespace glintor
