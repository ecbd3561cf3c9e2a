// glintor-mpi: `mpirun -np N glintor-mpi [options] scene.xml` renders one picture with N
// processes, on one machine or many.
#include <mpi.h>

#include "app/program_entry.h"
#include "cluster/mpi_group.h"

int main(int argc, char** argv) {
    // Only the main thread of each rank calls MPI; the render threads never do.
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
    int status = 0;
    {
        glintor::MpiGroup group(MPI_COMM_WORLD);
        status = glintor::RunProgram(argc, argv, group);
    }
    MPI_Finalize();
    return status;
}
