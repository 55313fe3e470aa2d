#include "tests/fakes/fake_worker.h"

#include <windows.h>

struct FakeGate::State {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

FakeGate::FakeGate() : state_(std::make_unique<State>()) {}

FakeGate::~FakeGate()
{
    CloseHandle(state_->event);
}

void FakeGate::Open()
{
    SetEvent(state_->event);
}

void FakeGate::Wait()
{
    WaitForSingleObject(state_->event, INFINITE);
}

struct FakeWorker::State {
    std::function<void()> body;
    HANDLE thread = nullptr;
};

namespace {

DWORD WINAPI RunFakeWorker(void* param)
{
    static_cast<std::function<void()>*>(param)->operator()();
    return 0;
}

}  // namespace

FakeWorker::FakeWorker(std::function<void()> body) : state_(std::make_unique<State>())
{
    state_->body = std::move(body);
    state_->thread = CreateThread(nullptr, 0, RunFakeWorker, &state_->body, 0, nullptr);
}

FakeWorker::~FakeWorker()
{
    WaitForSingleObject(state_->thread, INFINITE);
    CloseHandle(state_->thread);
}

bool FakeWorker::WaitFor(std::uint32_t milliseconds)
{
    return WaitForSingleObject(state_->thread, milliseconds) == WAIT_OBJECT_0;
}
