#include "render/render_job.h"

#include <algorithm>

#include "platform/platform.h"
#include "render/scene.h"

namespace glintor {

namespace {

double ReadSeconds() {
    return static_cast<double>(TickCount()) * 0.001;
}

class LockGuard {
public:
    explicit LockGuard(pthread_mutex_t& m) : mutex_(m) { pthread_mutex_lock(&mutex_); }
    ~LockGuard() { pthread_mutex_unlock(&mutex_); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    pthread_mutex_t& mutex_;
};

}  // namespace

void RenderClock::Start() {
    total = delta = now = last = 0.0;
    now = last = ReadSeconds();
    Tick();
}

void RenderClock::Tick() {
    last = now;
    now = ReadSeconds();
    delta = now - last;
    total += delta;
}

uint32_t BlockDraw::NextIndex(uint32_t count) {
    drawZ = multiplierZ * (drawZ & 0xFFFFu) + (drawZ >> 16);
    drawW = multiplierW * (drawW & 0xFFFFu) + (drawW >> 16);
    const uint32_t value = (drawZ << 16) + (drawW & 0xFFFFu);
    return value % count;
}

RenderJob::RenderJob() {
    clock.Start();
    pthread_mutex_init(&lock, nullptr);
    pthread_cond_init(&changed, nullptr);
}

RenderJob::~RenderJob() {
    pthread_cond_destroy(&changed);
    pthread_mutex_destroy(&lock);
}

RenderJob& RenderJob::Instance() {
    static RenderJob job;
    return job;
}

void RenderJob::BuildBlocks(uint32_t pictureWidth, uint32_t pictureHeight) {
    width = pictureWidth;
    height = pictureHeight;
    const uint32_t b = BlockEdge();
    columns = (width + b - 1) / b;
    blockCount = columns * ((height + b - 1) / b);
    // Built row by row from the corner at the origin; the list holds them in reverse.
    blocks.clear();
    for (uint32_t index = blockCount; index-- > 0;) {
        blocks.push_back(BlockAt(index));
    }
    startSamples.assign(blockCount, 0);
    partsDone.assign(blockCount, 0);
    stopRequested = false;
    blocksInFlight = 0;
    finished = false;
    rayTotal = 0;
    sampleTotal = 0;
    droppedSamples = 0;
    TakeOutBlocksWithoutPart();
}

uint32_t RenderJob::BlockEdge() const {
    return blockSize > 0 ? static_cast<uint32_t>(blockSize) : 1u;
}

uint32_t RenderJob::BlockIndex(const PixelBlock& block) const {
    const uint32_t b = BlockEdge();
    return block.y / b * columns + block.x / b;
}

PixelBlock RenderJob::BlockAt(uint32_t index) const {
    const uint32_t b = BlockEdge();
    const uint32_t x = index % columns * b, y = index / columns * b;
    return {x, y, std::min(b, width - x), std::min(b, height - y)};
}

uint32_t RenderJob::SamplesPerPixel() const {
    return scene != nullptr && scene->settings.samples > 0
               ? static_cast<uint32_t>(scene->settings.samples)
               : 1u;
}

void RenderJob::SkipDone(const std::vector<uint32_t>& done) {
    if (done.size() == startSamples.size()) {
        startSamples = done;
        TakeOutBlocksWithoutPart();
    }
}

void RenderJob::TakeOutBlocksWithoutPart() {
    std::erase_if(blocks, [this](const PixelBlock& block) {
        const bool none = PartOf(block).count == 0;
        partsDone[BlockIndex(block)] = none ? 1 : 0;
        return none;
    });
    blocksDone = blockCount - static_cast<uint32_t>(blocks.size());
}

SamplePart RenderJob::PartOf(const PixelBlock& block) const {
    return PartOfSamples(startSamples[BlockIndex(block)], SamplesPerPixel(), groupRank, groupSize);
}

std::vector<uint32_t> RenderJob::PictureSamples(const std::vector<uint8_t>& done) const {
    std::vector<uint32_t> samples = startSamples;
    for (std::size_t i = 0; i < samples.size() && i < done.size(); ++i) {
        samples[i] = done[i] != 0 ? SamplesPerPixel() : samples[i];
    }
    return samples;
}

std::optional<PixelBlock> RenderJob::HandOverAndTake(uint64_t& rays, uint64_t& samples,
                                                     uint64_t& dropped,
                                                     const PixelBlock* finishedBlock) {
    LockGuard guard(lock);
    if (finishedBlock != nullptr) {
        ++blocksDone;
        partsDone[BlockIndex(*finishedBlock)] = 1;
        --blocksInFlight;
        pthread_cond_broadcast(&changed);
    }
    while (paused) {
        pthread_cond_wait(&changed, &lock);
    }
    rayTotal += rays;
    sampleTotal += samples;
    droppedSamples += dropped;
    rays = samples = dropped = 0;
    if (blocks.empty() || stopRequested) {
        return std::nullopt;
    }
    const uint32_t index = draw.NextIndex(static_cast<uint32_t>(blocks.size()));
    const PixelBlock block = blocks[index];
    blocks.erase(blocks.begin() + index);
    ++blocksInFlight;
    return block;
}

void RenderJob::WithWholeBlocks(const std::function<void()>& copy) {
    LockGuard guard(lock);
    paused = true;
    while (blocksInFlight > 0) {
        pthread_cond_wait(&changed, &lock);
    }
    copy();
    paused = false;
    pthread_cond_broadcast(&changed);
}

void RenderJob::GiveUp() {
    LockGuard guard(lock);
    --blocksInFlight;
    pthread_cond_broadcast(&changed);
}

uint32_t RenderJob::BlocksDone() {
    LockGuard guard(lock);
    return blocksDone;
}

std::vector<uint8_t> RenderJob::PartsDone() {
    LockGuard guard(lock);
    return partsDone;
}

void RenderJob::ThreadFinished() {
    LockGuard guard(lock);
    --activeThreads;
}

}  // namespace glintor
