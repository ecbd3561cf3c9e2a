#include "render/render_thread.h"

#include <sched.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <optional>
#include <vector>

#include "render/film.h"
#include "render/path_integrator.h"
#include "render/render_job.h"

namespace glintor {

CThread::CThread() {
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_JOINABLE);
}

CThread::~CThread() {
    pthread_attr_destroy(&attributes);
}

namespace {

// The thread lowers its own priority: asking from outside after pthread_create races a thread
// that may already have ended (ESRCH), which small renders on a loaded machine hit.
int LowerOwnPriority() {
    int policy = 0;
    sched_param parameters{};
    const int got = pthread_getschedparam(pthread_self(), &policy, &parameters);
    if (got != 0) {
        return got;
    }
    parameters.sched_priority = sched_get_priority_min(policy);
    return pthread_setschedparam(pthread_self(), policy, &parameters);
}

}  // namespace

void* CThread::Entry(void* self) {
    CThread* thread = static_cast<CThread*>(self);
    const int lowered = LowerOwnPriority();
    thread->priorityLowered->set_value(lowered);
    if (lowered == 0) {
        thread->Run(thread->argument);
    }
    return nullptr;
}

void CThread::Start(void* startArgument) {
    argument = startArgument;
    std::promise<int> lowered;
    priorityLowered = &lowered;
    // Stop and termination signals are left to the starting thread: its saves hold them off while
    // they list a partial file for removal, which a handler run on another thread would not wait
    // for. The new thread inherits the mask it is created under.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        sigaddset(&blocked, number);
    }
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    const int created = pthread_create(&handle, &attributes, Entry, this);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (created != 0) {
        std::printf("Error at pthread_create: rc=%d\n", created);
        std::exit(1);
    }
    started = true;
    // Waiting for the thread's answer keeps the exit on a failure here, on the starting thread.
    const int rc = lowered.get_future().get();
    if (rc != 0) {
        std::printf("Error at pthread_getschedparam: rc=%d\n", rc);
        std::exit(1);
    }
}

void CThread::Join() {
    if (started) {
        pthread_join(handle, nullptr);
        started = false;
    }
}

void CRenderThread::Run(void* jobArgument) {
    if (jobArgument == nullptr) {
        return;
    }
    RenderJob& job = *static_cast<RenderJob*>(jobArgument);
    {
        PathIntegrator integrator;
        integrator.generator.Seed(job.seed);
        integrator.sampling = job.sampling;
        integrator.sequenceSeed = job.sequenceSeed;
        // A part of a block holds at most the part of a block that lacks every sample.
        const SamplePart largest =
            PartOfSamples(0, job.SamplesPerPixel(), job.groupRank, job.groupSize);
        integrator.Setup(*job.scene, *job.film, static_cast<int>(largest.count));
        std::optional<PixelBlock> finished;
        std::vector<float> kept;
        // The last hand-over happens in the iteration that finds the list empty, so the totals
        // are complete before this thread counts itself out.
        while (auto block = job.HandOverAndTake(integrator.rayCount, integrator.sampleCount,
                                                integrator.droppedSamples,
                                                finished ? &*finished : nullptr)) {
            finished.reset();
            job.film->KeepBlock(*block, kept);
            if (integrator.RenderSamples(*job.scene, *block, job.PartOf(*block),
                                         &job.stopRequested)) {
                finished = block;
            } else {
                // Counters were handed over when the block was taken: these are the block's own,
                // and the statistics count only what the film holds.
                integrator.rayCount = integrator.sampleCount = integrator.droppedSamples = 0;
                job.film->RestoreBlock(*block, kept);
                job.GiveUp();
            }
        }
    }
    job.ThreadFinished();
}

void CRenderThread::JoinAll(std::vector<std::unique_ptr<CRenderThread>>& threads) {
    for (auto& thread : threads) {
        thread->Join();
    }
}

}  // namespace glintor
