// The process-wide record shared by the entry point, the render threads and the preview: the
// scene and film, the blocks still to render and the counters the preview and the log report.
// One mutex guards the block list, its draw state, the totals and the active-thread count; it is
// held only while a thread hands over one block and takes the next.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "math/random.h"
#include "render/sampling_mode.h"

namespace glintor {

class Film;
struct Scene;

struct PixelBlock {
    uint32_t x = 0;  // corner with the smallest coordinates
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;

    bool operator==(const PixelBlock&) const = default;
};

// Elapsed time in seconds from the millisecond tick counter.
struct RenderClock {
    double total = 0.0;
    double delta = 0.0;
    double now = 0.0;
    double last = 0.0;

    void Start();
    void Tick();
};

// Marsaglia's multiply-with-carry pair that picks the next block, so that threads spread over the
// image and the preview fills in evenly; the same initial state gives the same order every run.
struct BlockDraw {
    uint32_t drawZ = 0x1f123bb5u;
    uint32_t drawW = 0x159a55e5u;
    static constexpr uint32_t multiplierZ = 36969;
    static constexpr uint32_t multiplierW = 18000;

    // Index in [0, count) for count > 0.
    uint32_t NextIndex(uint32_t count);
};

struct RenderJob {
    Scene* scene = nullptr;
    Film* film = nullptr;
    RenderClock clock;
    pthread_mutex_t lock;
    BlockDraw draw;
    int32_t activeThreads = 0;
    int32_t blockSize = 64;
    bool finished = false;
    // Blocks not yet taken, front first: building inserts at the front, so this holds them in the
    // reverse of the order they were made.
    std::vector<PixelBlock> blocks;
    uint64_t rayTotal = 0;
    uint64_t sampleTotal = 0;
    // Samples whose radiance was NaN or infinite, dropped before reaching the film.
    uint64_t droppedSamples = 0;
    uint32_t blockCount = 0;  // blocks made by BuildBlocks
    uint32_t blocksDone = 0;  // blocks whose pixels are all in the film
    // Per block, in the order BuildBlocks made them: samples per pixel the film holds for it.
    // A block counts only once all its pixels have them, so the film never holds half a block.
    std::vector<uint32_t> blockSamples;
    // Once set, no block is handed out; blocks in flight are finished.
    std::atomic<bool> stopRequested{false};
    // Blocks handed out and not yet handed back, and whether the threads hold off taking more.
    uint32_t blocksInFlight = 0;
    bool paused = false;
    pthread_cond_t changed;  // signalled under lock when either of the two changes
    // Every render thread's generator starts from it. Processes that share one picture each take
    // their own, so that their samples differ.
    uint32_t seed = RandomGenerator::DefaultSeed;
    SamplingMode sampling = SamplingMode::Design;
    // LowNoise only: picks the scrambles of every pixel's sequences, the same in every process
    // of a group, and the position in each pixel's sequence of this process's first sample.
    // Processes sharing a picture take consecutive parts of each sequence.
    uint32_t sequenceSeed = RandomGenerator::DefaultSeed;
    uint32_t firstSample = 0;

    uint32_t columns = 0;  // blocks per row

    RenderJob();
    ~RenderJob();
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    // Splits a width x height image into blocks of blockSize; clears finished and the totals.
    void BuildBlocks(uint32_t width, uint32_t height);

    // Samples per pixel every block is rendered up to: the scene's.
    uint32_t SamplesPerPixel() const;
    // Takes out the blocks that already hold SamplesPerPixel() (a resumed film's); done holds each
    // block's samples in build order, as blockSamples does.
    void SkipDone(const std::vector<uint32_t>& done);

    // Under the lock: adds a thread's counters to the totals (and zeroes them), counts the block
    // it has just finished (if any), then removes and returns a randomly drawn block, or nothing
    // when none is left or a stop was requested. A block's samples to render run from its
    // blockSamples entry to SamplesPerPixel().
    std::optional<PixelBlock> HandOverAndTake(uint64_t& rays, uint64_t& samples, uint64_t& dropped,
                                              const PixelBlock* finishedBlock);
    // Under the lock: samples per pixel the film holds for the block.
    uint32_t SamplesOf(const PixelBlock& block);
    // Under the lock: blocks done so far, and a copy of blockSamples.
    uint32_t BlocksDone();
    std::vector<uint32_t> BlockSamples();
    // Runs copy once no block is in flight, holding the threads off meanwhile: what copy reads
    // of the film then holds whole blocks only, as blockSamples says.
    void WithWholeBlocks(const std::function<void()>& copy);
    // The block's position in build order.
    uint32_t BlockIndex(const PixelBlock& block) const;
    // Under the lock: one thread has finished.
    void ThreadFinished();

    static RenderJob& Instance();
};

}  // namespace glintor
