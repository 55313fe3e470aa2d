#include "tests/fakes/fake_worker.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct FakeGate::State {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
};

FakeGate::FakeGate() : state_(std::make_unique<State>()) {}
FakeGate::~FakeGate() = default;

void FakeGate::Open()
{
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->open = true;
    }
    state_->opened.notify_all();
}

void FakeGate::Wait()
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->opened.wait(lock, [this] { return state_->open; });
}

struct FakeWorker::State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread thread;
};

FakeWorker::FakeWorker(std::function<void()> body) : state_(std::make_unique<State>())
{
    State* state = state_.get();
    state->thread = std::thread([state, body = std::move(body)] {
        body();
        std::lock_guard<std::mutex> lock(state->mutex);
        state->done = true;
        state->ended.notify_all();
    });
}

FakeWorker::~FakeWorker()
{
    state_->thread.join();
}

bool FakeWorker::WaitFor(std::uint32_t milliseconds)
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return state_->done; });
}
