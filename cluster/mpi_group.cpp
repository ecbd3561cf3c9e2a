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
    // The film's four floats per pixel (radiance sums and weight) and its pass sums add up like
    // the samples they hold, so one sum over all ranks gives the film of all their samples.
    uint64_t counters[3] = {totals.samples, totals.rays, totals.droppedSamples};
    Sum(film.accumulation, film.pixelCount * 4, MPI_FLOAT);
    if (film.passes != nullptr) {
        Sum(film.passes, film.pixelCount * Film::PassCount, MPI_FLOAT);
    }
    Sum(counters, 3, MPI_UINT64_T);
    Sum(totals.blockSamples.data(), static_cast<int>(totals.blockSamples.size()), MPI_UINT32_T);
    if (rank_ == 0) {
        totals.samples = counters[0];
        totals.rays = counters[1];
        totals.droppedSamples = counters[2];
    }
}

void MpiGroup::Sum(void* values, int count, MPI_Datatype type) {
    if (rank_ == 0) {
        MPI_Reduce(MPI_IN_PLACE, values, count, type, MPI_SUM, 0, communicator_);
    } else {
        MPI_Reduce(values, nullptr, count, type, MPI_SUM, 0, communicator_);
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
