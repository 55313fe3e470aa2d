// The one owner of the dialog's check run: the run goes on a thread of its own, filling a CheckRun
// that nothing else touches until it has ended, and what it shows reaches the window through a queue
// that the window drains from its own loop. So the window's loop is the only loop, no handler ever
// runs inside the run, and the run's state lives here alone.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <optional>

#include "check/check_run.h"
#include "framework/owners.h"

enum class RunState { NotStarted, Running, Stopping, Done };

class CheckRunner {
public:
    explicit CheckRunner(Platform& platform);
    // Stops a run that goes on and waits for its thread, so that nothing outlives the window.
    ~CheckRunner();
    CheckRunner(const CheckRunner&) = delete;
    CheckRunner& operator=(const CheckRunner&) = delete;

    // Consulted by every handler of the window. Changed only on the window's thread.
    RunState State() const { return m_state; }
    // The run's own fields and results: to be set before Start and read once the run is Done.
    CheckRun& Run() { return m_run; }
    const CheckRun& Run() const { return m_run; }

    // What is written beside the report, on the run's thread after the run unless it was stopped;
    // its failure in the system's words, or nothing when it succeeded.
    using AfterRun = std::function<std::optional<CString>(CheckRun&)>;

    // NotStarted to Running: the run starts on its thread, and `afterRun` follows it there. `message`
    // is posted to `window` whenever the run has something to show. False, and nothing started, in
    // any other state: a second start message cannot start it again.
    bool Start(HWND window, UINT message, AfterRun afterRun);
    // Running to Stopping: the run ends at its next wait and puts no report in place.
    void Stop();
    // Stops the run and waits for its thread at most `milliseconds`; true when it has ended. The
    // window calls it as it is destroyed: nothing the thread touches is then the window's.
    bool StopAndWait(DWORD milliseconds);
    // How what followed the run failed: read once the run is Done.
    const std::optional<CString>& AfterRunFailure() const { return m_afterRunFailure; }
    // Shows on `window` what the run asked to show, in order. True when this delivered the run's end:
    // the state is then Done.
    bool Deliver(DialogSurface& window);

private:
    // What the run shows, kept for the window's thread.
    class QueuedSurface : public DialogSurface {
    public:
        explicit QueuedSurface(CheckRunner& owner) : m_owner(owner) {}
        void ShowItemValue(ResultItem item, const CString& text) override;
        void ShowItemMark(ResultItem item, Mark mark) override;
        void AddListString(const CString& text) override;
        void ReplaceList(const std::vector<CString>& lines) override;
        void ShowStatus(const CString& text) override;
        void ShowItemExplanation(ResultItem item, const CString& text) override;
        bool Closing() const override { return m_owner.m_stop.load(); }

    private:
        CheckRunner& m_owner;
    };

    static unsigned __stdcall ThreadMain(void* param);
    // Queues `show` for the window and tells the window, once for as many as wait.
    void Queue(std::function<void(DialogSurface&)> show, bool end = false);

    struct Shown {
        std::function<void(DialogSurface&)> show;
        bool end = false;
    };

    QueuedSurface m_surface;
    CheckRun m_run;
    RunState m_state = RunState::NotStarted;
    std::atomic<bool> m_stop{false};
    AfterRun m_afterRun;
    std::optional<CString> m_afterRunFailure;  // written on the run's thread before its end is queued
    HWND m_window = nullptr;
    UINT m_message = 0;
    UniqueHandle m_thread;
    CRITICAL_SECTION m_lock;
    std::deque<Shown> m_queue;  // under m_lock
    bool m_told = false;        // under m_lock: a message is on its way to the window
};
