// Worker threads on POSIX threads. Each render thread owns one path integrator and takes pixel
// blocks from the shared job until none is left; it lowers its own priority so that the preview
// window stays responsive while all cores render.
#pragma once

#include <pthread.h>

#include <future>
#include <memory>
#include <vector>

namespace glintor {

class CThread {
public:
    CThread();
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    virtual void Run(void* argument) = 0;

    // Creates the thread (joinable), which first drops itself to the lowest priority of its
    // policy; Start returns once it has. A failure to set the priority prints its code and ends
    // the process with status 1 before Run is called.
    void Start(void* argument);
    // Waits for the thread to end; only the headless run waits, the preview never does.
    void Join();

protected:
    pthread_t handle{};
    pthread_attr_t attributes{};
    void* argument = nullptr;
    bool started = false;
    // Set by Start for the new thread to answer through; valid only until Start returns.
    std::promise<int>* priorityLowered = nullptr;

private:
    static void* Entry(void* self);
};

class CRenderThread : public CThread {
public:
    // argument is the RenderJob.
    void Run(void* argument) override;

    static void JoinAll(std::vector<std::unique_ptr<CRenderThread>>& threads);
};

}  // namespace glintor
