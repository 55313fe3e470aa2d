// A thread and a gate for the fakes: the C++ library's on Linux, Windows' own in the cross build,
// whose win32 thread model has no std::thread. The build picks the implementation file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// Closed until opened; Wait blocks until then.
class FakeGate {
public:
    FakeGate();
    ~FakeGate();
    FakeGate(const FakeGate&) = delete;
    FakeGate& operator=(const FakeGate&) = delete;
    void Open();
    void Wait();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Runs its body on a thread of its own; the destructor waits for the body to end.
class FakeWorker {
public:
    explicit FakeWorker(std::function<void()> body);
    ~FakeWorker();
    FakeWorker(const FakeWorker&) = delete;
    FakeWorker& operator=(const FakeWorker&) = delete;
    // True when the body ended within `milliseconds`; what it wrote is then visible to the caller.
    bool WaitFor(std::uint32_t milliseconds);

private:
    struct State;
    std::unique_ptr<State> state_;
};
