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
#include "render/pixel_block.h"
#include "render/sample_part.h"
#include "render/sampling_mode.h"

namespace glintor {

class Film;
struct Scene;

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
    // Per block, in the order BuildBlocks made them: samples per pixel the picture held when this
    // run began (a resumed film's), the same in every process of a group.
    std::vector<uint32_t> startSamples;
    // Per block: this process has put its part of the block's missing samples in the film (or had
    // none to render). A part counts only once all its pixels have it: the film never holds half
    // a block.
    std::vector<uint8_t> partsDone;
    // Once set, no block is handed out, and blocks in flight are given up and put back as they
    // were, so that a stop is quick however large the blocks.
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
    // of a group.
    uint32_t sequenceSeed = RandomGenerator::DefaultSeed;
    // This process's place in the group rendering the picture: each renders its part of every
    // block's missing samples (see PartOfSamples).
    uint32_t groupRank = 0;
    uint32_t groupSize = 1;

    uint32_t columns = 0;  // blocks per row
    uint32_t width = 0;    // of the picture the blocks cover
    uint32_t height = 0;

    RenderJob();
    ~RenderJob();
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    // Splits the picture into blocks of blockSize, leaving out those this process has no part of
    // (see PartOf); clears finished and the totals.
    void BuildBlocks(uint32_t pictureWidth, uint32_t pictureHeight);

    // Samples per pixel of the whole picture, every block is rendered up to: the scene's.
    uint32_t SamplesPerPixel() const;
    // Sets startSamples (the samples a resumed film holds per block, in build order) and takes
    // out the blocks this process has no part of then; call after BuildBlocks.
    void SkipDone(const std::vector<uint32_t>& done);
    // This process's part of the block's missing samples.
    SamplePart PartOf(const PixelBlock& block) const;
    // Samples per pixel the picture holds per block when the blocks marked in done hold all their
    // parts and the others none of this run's.
    std::vector<uint32_t> PictureSamples(const std::vector<uint8_t>& done) const;

    // Under the lock: adds a thread's counters to the totals (and zeroes them), counts the block
    // it has just finished (if any), then removes and returns a randomly drawn block, or nothing
    // when none is left or a stop was requested.
    std::optional<PixelBlock> HandOverAndTake(uint64_t& rays, uint64_t& samples, uint64_t& dropped,
                                              const PixelBlock* finishedBlock);
    // Under the lock: a block handed out was given up at a stop, its values put back.
    void GiveUp();
    // Under the lock: blocks done so far, and a copy of partsDone.
    uint32_t BlocksDone();
    std::vector<uint8_t> PartsDone();
    // Runs copy once no block is in flight, holding the threads off meanwhile: what copy reads
    // of the film then holds whole blocks only, as partsDone says.
    void WithWholeBlocks(const std::function<void()>& copy);
    // The block's position in build order, and the block at a position.
    uint32_t BlockIndex(const PixelBlock& block) const;
    PixelBlock BlockAt(uint32_t index) const;
    // Under the lock: one thread has finished.
    void ThreadFinished();

    static RenderJob& Instance();

private:
    // blockSize, or 1 where it is not positive.
    uint32_t BlockEdge() const;
    // Takes out the blocks this process has no part of, counting them done.
    void TakeOutBlocksWithoutPart();
};

}  // namespace glintor
