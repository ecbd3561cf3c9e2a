#include "render/film.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace glintor {

namespace {

void* AllocateZeroed(std::size_t bytes) {
    void* memory = AlignedAlloc(bytes, 64);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    std::memset(memory, 0, bytes);
    return memory;
}

}  // namespace

Film::Film(int filmWidth, int filmHeight)
    : width(static_cast<int16_t>(filmWidth)), height(static_cast<int16_t>(filmHeight)) {
    if (width > 0 && height > 0) {
        pixelCount = static_cast<int32_t>(width) * height;
    }
    const std::size_t pixels = static_cast<std::size_t>(pixelCount);
    accumulation = static_cast<float*>(AllocateZeroed(pixels * 4 * sizeof(float)));
    display = static_cast<uint8_t*>(AllocateZeroed(pixels * 3));
    BuildGammaTable(2.2f);
}

Film::~Film() {
    AlignedFree(accumulation);
    AlignedFree(display);
    AlignedFree(passes);
}

void Film::EnablePasses() {
    if (passes == nullptr) {
        passes = static_cast<float*>(
            AllocateZeroed(static_cast<std::size_t>(pixelCount) * PassCount * sizeof(float)));
    }
}

void Film::AddPasses(uint32_t x, uint32_t y, const Vector3& albedo, const Vector3& normal,
                     float distance, float hits) {
    const uint64_t index = static_cast<uint64_t>(y) * static_cast<uint64_t>(width) + x;
    if (passes == nullptr || index >= static_cast<uint64_t>(pixelCount)) {
        return;
    }
    float* pixel = passes + index * PassCount;
    const float values[PassCount] = {albedo.x, albedo.y, albedo.z, normal.x,
                                     normal.y, normal.z, distance, hits};
    for (int k = 0; k < PassCount; ++k) {
        pixel[k] += values[k];
    }
}

void Film::KeepBlock(const PixelBlock& block, std::vector<float>& kept) const {
    kept.clear();
    auto keep = [&kept](const float* values) {
        return [&kept, values](std::size_t start, std::size_t count) {
            kept.insert(kept.end(), values + start, values + start + count);
        };
    };
    ForEachBlockRow(block, width, 4, keep(accumulation));
    if (passes != nullptr) {
        ForEachBlockRow(block, width, PassCount, keep(passes));
    }
}

void Film::RestoreBlock(const PixelBlock& block, const std::vector<float>& kept) {
    const float* from = kept.data();
    auto restore = [&from](float* values) {
        return [&from, values](std::size_t start, std::size_t count) {
            std::copy_n(from, count, values + start);
            from += count;
        };
    };
    ForEachBlockRow(block, width, 4, restore(accumulation));
    if (passes != nullptr) {
        ForEachBlockRow(block, width, PassCount, restore(passes));
    }
}

void Film::BuildGammaTable(float gamma) {
    assert(gamma > 0.0f);
    const double exponent = 1.0 / static_cast<double>(gamma);
    // v steps by 1/1024 in float; every step is exact, so entry i is the curve at i / 1024.
    float v = 0.0f;
    for (float& entry : gammaTable) {
        entry =
            static_cast<float>(std::pow(static_cast<double>(std::clamp(v, 0.0f, 1.0f)), exponent));
        v += 0.0009765625f;
    }
}

void Film::AddPixel(uint32_t x, uint32_t y, const Vector3& colour, float weight) {
    const uint64_t index = static_cast<uint64_t>(y) * static_cast<uint64_t>(width) + x;
    if (index >= static_cast<uint64_t>(pixelCount)) {
        return;
    }
    float* pixel = accumulation + index * 4;
    pixel[0] += colour.x;
    pixel[1] += colour.y;
    pixel[2] += colour.z;
    pixel[3] += weight;
}

const uint8_t* Film::ConvertForDisplay() {
    for (int32_t i = 0; i < pixelCount; ++i) {
        const float* pixel = accumulation + static_cast<std::size_t>(i) * 4;
        uint8_t* out = display + static_cast<std::size_t>(i) * 3;
        const float weight = pixel[3];
        if (weight <= 0.0f) {
            out[0] = out[1] = out[2] = 0;
            continue;
        }
        const float scale = linearScale / weight;
        for (int c = 0; c < 3; ++c) {
            // Written so that NaN falls to 0 with the negatives instead of indexing the table
            // with garbage.
            float q = pixel[c] * scale;
            q = q > 0.0f ? std::min(q, 1.0f) : 0.0f;
            // q = 1 and q just below 1 share the last entry.
            const int k = std::min(static_cast<int>(q * 1024.0f), GammaTableSize - 1);
            out[c] = static_cast<uint8_t>(static_cast<int>(gammaTable[k] * 255.0f + 0.5f));
        }
    }
    return display;
}

}  // namespace glintor
