#include "app/headless_run.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/render_group.h"
#include "app/whole_blocks.h"
#include "platform/stop_signals.h"
#include "render/film.h"
#include "render/render_job.h"

namespace glintor {

namespace {

constexpr int PollMilliseconds = 250;
// Without a terminal a progress line every few seconds keeps logs readable.
constexpr double PlainLineSeconds = 5.0;

std::string FormatDuration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ldh %02ldm", total / 3600, (total % 3600) / 60);
    } else if (total >= 60) {
        std::snprintf(text, sizeof text, "%ldm %02lds", total / 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lds", total);
    }
    return text;
}

const char* SignalName(int number) {
    switch (number) {
        case SIGTERM:
            return "SIGTERM";
        case SIGINT:
            return "SIGINT";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "a signal";
    }
}

// "Stopped by SIGTERM: 12 of 80 blocks done; the film is in '<film>'"; without a film
// "...; no film kept (--film keeps one to resume from)", and "...; the film could not be
// written" when it was not.
std::string FormatStopLine(int signalNumber, uint32_t blocksDone, uint32_t blockCount,
                           const std::string& film, bool filmWritten) {
    const std::string where = film.empty()  ? "no film kept (--film keeps one to resume from)"
                              : filmWritten ? "the film is in '" + film + "'"
                                            : "the film could not be written";
    return std::string("Stopped by ") + SignalName(signalNumber) + ": " +
           std::to_string(blocksDone) + " of " + std::to_string(blockCount) + " blocks done; " +
           where;
}

}  // namespace

std::string FormatProgressLine(uint32_t blocksDone, uint32_t blockCount,
                               const StatusFigures& figures) {
    const double fraction =
        blockCount > 0 ? static_cast<double>(blocksDone) / static_cast<double>(blockCount) : 1.0;
    char head[32];
    std::snprintf(head, sizeof head, "Rendering %3d%%", static_cast<int>(fraction * 100.0));
    std::string line = std::string(head) + "  " + FormatTimeField(figures.seconds) + "  " +
                       FormatSamplesPerPixelField(figures) + "  " +
                       FormatSamplesPerSecondField(figures) + "  " +
                       FormatRaysPerSecondField(figures);
    if (blocksDone > 0 && blocksDone < blockCount) {
        const double left = figures.seconds * (1.0 - fraction) / fraction;
        line += "  left " + FormatDuration(left);
    }
    return line;
}

int RunHeadless(RenderSession& session) {
    RenderJob& job = *session.job;
    const bool terminal = isatty(STDERR_FILENO) != 0;
    const bool quiet = session.quiet;
    double lastPlainLine = -PlainLineSeconds;
    // activeThreads is written under the job's lock by the render threads; the main thread reads
    // it through the same lock so that the totals it then reads are complete.
    auto active = [&job] {
        pthread_mutex_lock(&job.lock);
        const int32_t n = job.activeThreads;
        pthread_mutex_unlock(&job.lock);
        return n;
    };
    RenderGroupBase& group = *session.group;
    double nextCheckpoint = session.checkpointSeconds;
    // Every rank polls alike: they stop, take checkpoints and leave the loop together.
    PollVerdict verdict = group.AgreeOnPoll({active() > 0, 0, false});
    while (verdict.active) {
        std::this_thread::sleep_for(std::chrono::milliseconds(PollMilliseconds));
        job.clock.Tick();
        const bool due = session.checkpointSeconds > 0 && job.clock.total >= nextCheckpoint;
        verdict = group.AgreeOnPoll({active() > 0, StopSignal(), due});
        if (verdict.stopSignal != 0) {
            job.stopRequested = true;
        } else if (verdict.checkpoint) {
            session.SaveCheckpoint();
            nextCheckpoint = job.clock.total + session.checkpointSeconds;
        }
        const uint32_t done = job.BlocksDone();
        // The finished picture gets its line below, once, with the clock read after the end.
        if (quiet || done == job.blockCount) {
            continue;
        }
        const std::string line = FormatProgressLine(done, job.blockCount, session.Figures());
        if (terminal) {
            std::fprintf(stderr, "\r%s\033[K", line.c_str());
        } else if (job.clock.total - lastPlainLine >= PlainLineSeconds) {
            std::fprintf(stderr, "%s\n", line.c_str());
            lastPlainLine = job.clock.total;
        }
        std::fflush(stderr);
    }
    Film& film = *session.film;
    const std::vector<uint32_t> blockSamples = KeepBlocksEveryRankRendered(
        group, job, job.PartsDone(), {film.accumulation, film.passes}, session.startFilm);
    RenderTotals totals{job.sampleTotal, job.rayTotal, job.droppedSamples};
    group.Combine(film, totals);
    if (group.Rank() != 0) {
        return 0;
    }
    job.sampleTotal = totals.samples;
    job.rayTotal = totals.rays;
    job.droppedSamples = totals.droppedSamples;
    // A render done before the first poll still logs the time it took, loading included.
    job.clock.Tick();
    const StatusFigures figures = session.Figures();
    if (!quiet) {
        const std::string last = FormatProgressLine(job.BlocksDone(), job.blockCount, figures);
        std::fprintf(stderr, terminal ? "\r%s\033[K\n" : "%s\n", last.c_str());
    }

    const int saved = session.Save(&figures, true, &blockSamples);
    job.finished = true;
    session.ReportDroppedSamples();
    int status = saved;
    // A stop that reached another rank only still leaves part of the picture unrendered.
    const int signalNumber = StopSignal() != 0 ? StopSignal() : verdict.stopSignal;
    if (signalNumber != 0) {
        const uint32_t complete =
            static_cast<uint32_t>(std::count(blockSamples.begin(), blockSamples.end(),
                                             static_cast<uint32_t>(session.samplesPerPixel)));
        const std::string line = FormatStopLine(signalNumber, complete, job.blockCount,
                                                session.filmPath, session.filmSaved);
        std::fprintf(stderr, "%s\n", line.c_str());
        status = 128 + signalNumber;
    }
    return status;
}

}  // namespace glintor
