// The ranks of an MPI job as one render group: every rank loads the scene and renders its share
// of the samples, one reduction sums the films onto rank 0, which alone speaks and writes.
#pragma once

#include <mpi.h>

#include "app/render_group.h"

namespace glintor {

class MpiGroup : public RenderGroupBase {
public:
    explicit MpiGroup(MPI_Comm communicator);

    int Rank() const override { return rank_; }
    int Size() const override { return size_; }
    // One rank that could not load stops them all; rank 0 says so unless its own loader already
    // did.
    bool EveryoneLoaded(bool loadedHere) override;
    void Combine(Film& film, RenderTotals& totals) override;
    int LoadFailureStatus() const override { return 1; }
    const char* ProgramName() const override { return "glintor-mpi"; }
    bool WindowAllowed() const override { return false; }

private:
    // Sums the values of every rank onto rank 0's.
    void Sum(void* values, int count, MPI_Datatype type);

    MPI_Comm communicator_;
    int rank_ = 0;
    int size_ = 1;
};

// Sends this process's standard output and error to /dev/null: only rank 0 speaks.
void SilenceConsole();

}  // namespace glintor
