// The processes that render one picture together. A plain run is a group of one; a cluster run
// puts one process on each rank, every one rendering its share of the samples of every pixel, and
// the first rank alone speaks, sums the films and writes the outputs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace glintor {

class Film;
struct FilmFileContents;

// What the ranks of a group decide together at each poll of a headless render, so that they leave
// it together and meet in the same reductions.
struct PollVerdict {
    // Some rank still renders.
    bool active = false;
    // The number of a stop signal some rank caught (the largest), or 0.
    int stopSignal = 0;
    // The first rank's clock says a checkpoint is due.
    bool checkpoint = false;
};

// What the ranks of a group add together once rendering is over.
struct RenderTotals {
    uint64_t samples = 0;
    uint64_t rays = 0;
    uint64_t droppedSamples = 0;
};

class RenderGroupBase {
public:
    virtual ~RenderGroupBase() = default;

    virtual int Rank() const = 0;
    virtual int Size() const = 0;
    // Called by every rank: answers whether every rank loaded a usable scene, and the same one.
    // fingerprint (see LoadFingerprint) is asked for only where ranks have something to compare.
    virtual bool EveryoneLoaded(bool loadedHere,
                                const std::function<std::string()>& fingerprint) = 0;
    // Called by every rank with its film (sums, weights and passes) and totals; on rank 0 they
    // then hold the sums of all.
    virtual void Combine(Film& film, RenderTotals& totals) = 0;
    // Called by every rank at each poll with what it sees: answers what they see together (see
    // PollVerdict).
    virtual PollVerdict AgreeOnPoll(const PollVerdict& here) = 0;
    // Called by every rank with a snapshot of whole blocks (sums and passes); on rank 0 it then
    // holds the sums of all.
    virtual void CombineSnapshot(FilmFileContents& snapshot) = 0;
    // Called by every rank with a flag per block: each then holds which are set on every rank.
    virtual void AgreeOnBlocks(std::vector<uint8_t>& flags) = 0;
    // Called by every rank: each then holds rank 0's values.
    virtual void ShareFromFirst(std::vector<uint32_t>& values) = 0;
    // Called by every rank once it catches the stop signals; returns when every rank does, so that
    // a stop sent to the whole job after rank 0 says it started finds no rank it would kill.
    virtual void StopSignalsCaught() = 0;
    // Exit status when the scene could not be loaded.
    virtual int LoadFailureStatus() const = 0;
    // The name in the usage line and the messages.
    virtual const char* ProgramName() const = 0;
    // A cluster run never opens the preview window.
    virtual bool WindowAllowed() const = 0;

};

// A plain run: one process, which loads, renders and writes alone.
class SingleProcess : public RenderGroupBase {
public:
    int Rank() const override { return 0; }
    int Size() const override { return 1; }
    bool EveryoneLoaded(bool loadedHere, const std::function<std::string()>&) override {
        return loadedHere;
    }
    void Combine(Film&, RenderTotals&) override {}
    PollVerdict AgreeOnPoll(const PollVerdict& here) override { return here; }
    void CombineSnapshot(FilmFileContents&) override {}
    void AgreeOnBlocks(std::vector<uint8_t>&) override {}
    void ShareFromFirst(std::vector<uint32_t>&) override {}
    void StopSignalsCaught() override {}
    // A scene that does not load has already been reported; the process still ends normally.
    int LoadFailureStatus() const override { return 0; }
    const char* ProgramName() const override { return "glintor"; }
    bool WindowAllowed() const override { return true; }
};

}  // namespace glintor
