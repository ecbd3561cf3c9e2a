// The ranks of an MPI job as one render group: every rank loads the scene and renders its share
// of the samples, one reduction sums the films onto rank 0, which alone speaks and writes.
#pragma once

#include <mpi.h>

#include <string>
#include <vector>

#include "app/render_group.h"
#include "cluster/rank_console.h"

namespace glintor {

class MpiGroup : public RenderGroupBase {
public:
    explicit MpiGroup(MPI_Comm communicator);

    int Rank() const override { return rank_; }
    int Size() const override { return size_; }
    // Every rank's messages so far reach rank 0's console. One rank that could not load stops
    // them all, and so do ranks whose fingerprints differ: rank 0 names them and what differs.
    bool EveryoneLoaded(bool loadedHere, const std::function<std::string()>& fingerprint) override;
    // Sums the films on rank 0, which then prints what the other ranks said while rendering.
    void Combine(Film& film, RenderTotals& totals) override;
    // One reduction: the largest of each field, where only rank 0 may ask for a checkpoint.
    PollVerdict AgreeOnPoll(const PollVerdict& here) override;
    void CombineSnapshot(FilmFileContents& snapshot) override;
    void AgreeOnBlocks(std::vector<uint8_t>& flags) override;
    void ShareFromFirst(std::vector<uint32_t>& values) override;
    void StopSignalsCaught() override { MPI_Barrier(communicator_); }
    int LoadFailureStatus() const override { return 1; }
    const char* ProgramName() const override { return "glintor-mpi"; }
    bool WindowAllowed() const override { return false; }

private:
    // On rank 0, every rank's text in rank order; empty elsewhere.
    std::vector<std::string> Gather(const std::string& text);
    // Prints on rank 0 what the others wrote since the last call; with rankZeroText, text equal to
    // it is not repeated.
    void ForwardMessages(const std::string* rankZeroText);
    // Sums the values of every rank onto rank 0's.
    void Sum(void* values, int count, MPI_Datatype type);

    MPI_Comm communicator_;
    int rank_ = 0;
    int size_ = 1;
    RankConsole console_;
};

}  // namespace glintor
