#include "render/render_thread.h"

#include <sched.h>

#include <cstdio>
#include <cstdlib>

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

void* CThread::Entry(void* self) {
    CThread* thread = static_cast<CThread*>(self);
    thread->Run(thread->argument);
    return nullptr;
}

void CThread::Start(void* startArgument) {
    argument = startArgument;
    const int created = pthread_create(&handle, &attributes, Entry, this);
    if (created != 0) {
        std::printf("Error at pthread_create: rc=%d\n", created);
        std::exit(1);
    }
    started = true;
    int policy = 0;
    sched_param parameters{};
    pthread_getschedparam(handle, &policy, &parameters);
    parameters.sched_priority = sched_get_priority_min(policy);
    const int rc = pthread_setschedparam(handle, policy, &parameters);
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
        integrator.Setup(*job.scene, *job.film);
        bool finishedBlock = false;
        // The last hand-over happens in the iteration that finds the list empty, so the totals
        // are complete before this thread counts itself out.
        while (auto block = job.HandOverAndTake(integrator.rayCount, integrator.sampleCount,
                                                integrator.droppedSamples, finishedBlock)) {
            integrator.RenderBlock(*job.scene, *block);
            finishedBlock = true;
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
