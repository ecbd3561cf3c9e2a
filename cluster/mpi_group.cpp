#include "cluster/mpi_group.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "render/film.h"

namespace glintor {

MpiGroup::MpiGroup(MPI_Comm communicator) : communicator_(communicator) {
    MPI_Comm_rank(communicator_, &rank_);
    MPI_Comm_size(communicator_, &size_);
}

bool MpiGroup::EveryoneLoaded(bool loadedHere) {
    const int here = loadedHere ? 1 : 0;
    int everyone = 0;
    MPI_Allreduce(&here, &everyone, 1, MPI_INT, MPI_MIN, communicator_);
    if (everyone == 0 && loadedHere && rank_ == 0) {
        std::fprintf(stderr, "The scene could not be loaded on every rank; nothing was rendered\n");
    }
    return everyone != 0;
}

void MpiGroup::Combine(Film& film, RenderTotals& totals) {
    // The film's four floats per pixel (radiance sums and weight) add up like the samples they
    // hold, so one sum over all ranks gives the film of all their samples.
    const int count = film.pixelCount * 4;
    uint64_t counters[3] = {totals.samples, totals.rays, totals.droppedSamples};
    if (rank_ == 0) {
        MPI_Reduce(MPI_IN_PLACE, film.accumulation, count, MPI_FLOAT, MPI_SUM, 0, communicator_);
        MPI_Reduce(MPI_IN_PLACE, counters, 3, MPI_UINT64_T, MPI_SUM, 0, communicator_);
        totals = {counters[0], counters[1], counters[2]};
    } else {
        MPI_Reduce(film.accumulation, nullptr, count, MPI_FLOAT, MPI_SUM, 0, communicator_);
        MPI_Reduce(counters, nullptr, 3, MPI_UINT64_T, MPI_SUM, 0, communicator_);
    }
}

void SilenceConsole() {
    std::fflush(stdout);
    std::fflush(stderr);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        close(null);
    }
}

}  // namespace glintor
