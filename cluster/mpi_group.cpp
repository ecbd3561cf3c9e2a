#include "cluster/mpi_group.h"

#include <cstdio>

#include "app/load_fingerprint.h"
#include "formats/film_file.h"
#include "render/film.h"

namespace glintor {

namespace {

int RankOf(MPI_Comm communicator) {
    int rank = 0;
    MPI_Comm_rank(communicator, &rank);
    return rank;
}

}  // namespace

MpiGroup::MpiGroup(MPI_Comm communicator)
    : communicator_(communicator), rank_(RankOf(communicator)), console_(rank_) {
    MPI_Comm_size(communicator_, &size_);
}

std::vector<std::string> MpiGroup::Gather(const std::string& text) {
    const int length = static_cast<int>(text.size());
    std::vector<int> lengths(rank_ == 0 ? size_ : 0);
    MPI_Gather(&length, 1, MPI_INT, lengths.data(), 1, MPI_INT, 0, communicator_);
    std::vector<int> offsets(lengths.size());
    std::string all;
    for (size_t i = 0; i < lengths.size(); ++i) {
        offsets[i] = static_cast<int>(all.size());
        all.resize(all.size() + static_cast<size_t>(lengths[i]));
    }
    MPI_Gatherv(text.data(), length, MPI_CHAR, all.data(), lengths.data(), offsets.data(), MPI_CHAR,
                0, communicator_);
    std::vector<std::string> texts;
    for (size_t i = 0; i < lengths.size(); ++i) {
        texts.push_back(
            all.substr(static_cast<size_t>(offsets[i]), static_cast<size_t>(lengths[i])));
    }
    return texts;
}

void MpiGroup::ForwardMessages(const std::string* rankZeroText) {
    const std::vector<std::string> texts = Gather(rank_ == 0 ? "" : console_.TakeNewText());
    for (size_t rank = 1; rank < texts.size(); ++rank) {
        if (rankZeroText == nullptr || texts[rank] != *rankZeroText) {
            std::fputs(PrefixLines(texts[rank], static_cast<int>(rank)).c_str(), stderr);
        }
    }
    std::fflush(stderr);
}

bool MpiGroup::EveryoneLoaded(bool loadedHere, const std::function<std::string()>& fingerprint) {
    // Rank 0's own messages of loading go out first, then those of the others that differ.
    std::string ownText;
    if (rank_ == 0) {
        ownText = console_.TakeNewText();
        console_.Release();
        std::fputs(ownText.c_str(), stderr);
    }
    ForwardMessages(&ownText);

    const int here = loadedHere ? 1 : 0;
    int everyone = 0;
    MPI_Allreduce(&here, &everyone, 1, MPI_INT, MPI_MIN, communicator_);
    if (everyone == 0) {
        if (loadedHere && rank_ == 0) {
            std::fprintf(stderr,
                         "The scene could not be loaded on every rank; nothing was rendered\n");
        }
        return false;
    }
    const std::vector<std::string> fingerprints = Gather(fingerprint());
    int same = 1;
    if (rank_ == 0) {
        const std::string differences = FingerprintDifferences(fingerprints);
        if (!differences.empty()) {
            std::fprintf(stderr, "The ranks did not load the same scene; nothing was rendered\n%s",
                         differences.c_str());
            same = 0;
        }
    }
    MPI_Bcast(&same, 1, MPI_INT, 0, communicator_);
    return same != 0;
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
    ForwardMessages(nullptr);
    if (rank_ == 0) {
        totals.samples = counters[0];
        totals.rays = counters[1];
        totals.droppedSamples = counters[2];
    }
}

PollVerdict MpiGroup::AgreeOnPoll(const PollVerdict& here) {
    int flags[3] = {here.active ? 1 : 0, here.stopSignal, rank_ == 0 && here.checkpoint ? 1 : 0};
    MPI_Allreduce(MPI_IN_PLACE, flags, 3, MPI_INT, MPI_MAX, communicator_);
    return PollVerdict{flags[0] != 0, flags[1], flags[2] != 0};
}

void MpiGroup::CombineSnapshot(FilmFileContents& snapshot) {
    Sum(snapshot.radiance.data(), static_cast<int>(snapshot.radiance.size()), MPI_FLOAT);
    if (!snapshot.passes.empty()) {
        Sum(snapshot.passes.data(), static_cast<int>(snapshot.passes.size()), MPI_FLOAT);
    }
    ForwardMessages(nullptr);
}

void MpiGroup::AgreeOnBlocks(std::vector<uint8_t>& flags) {
    MPI_Allreduce(MPI_IN_PLACE, flags.data(), static_cast<int>(flags.size()), MPI_UINT8_T, MPI_MIN,
                  communicator_);
}

void MpiGroup::ShareFromFirst(std::vector<uint32_t>& values) {
    unsigned long count = values.size();
    MPI_Bcast(&count, 1, MPI_UNSIGNED_LONG, 0, communicator_);
    values.resize(count);
    MPI_Bcast(values.data(), static_cast<int>(count), MPI_UINT32_T, 0, communicator_);
}

void MpiGroup::Sum(void* values, int count, MPI_Datatype type) {
    if (rank_ == 0) {
        MPI_Reduce(MPI_IN_PLACE, values, count, type, MPI_SUM, 0, communicator_);
    } else {
        MPI_Reduce(values, nullptr, count, type, MPI_SUM, 0, communicator_);
    }
}

}  // namespace glintor
