#include "app/check_runner.h"

#include <process.h>

#include <utility>

CheckRunner::CheckRunner(Platform& platform) : m_surface(*this), m_run(platform, m_surface)
{
    InitializeCriticalSection(&m_lock);
}

CheckRunner::~CheckRunner()
{
    StopAndWait(INFINITE);
    DeleteCriticalSection(&m_lock);
}

bool CheckRunner::Start(HWND window, UINT message, AfterRun afterRun)
{
    if (m_state != RunState::NotStarted)
        return false;
    m_window = window;
    m_message = message;
    m_afterRun = std::move(afterRun);
    m_state = RunState::Running;
    // _beginthreadex, not CreateThread: the run uses the C runtime.
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr)));
    // Without a thread the run goes on this one, as the unattended run does: nothing is lost.
    if (!m_thread)
        ThreadMain(this);
    return true;
}

void CheckRunner::Stop()
{
    m_stop = true;
    if (m_state == RunState::Running)
        m_state = RunState::Stopping;
}

bool CheckRunner::StopAndWait(DWORD milliseconds)
{
    Stop();
    return !m_thread || WaitForSingleObject(m_thread.Get(), milliseconds) == WAIT_OBJECT_0;
}

unsigned __stdcall CheckRunner::ThreadMain(void* param)
{
    auto* runner = static_cast<CheckRunner*>(param);
    // No exception may leave a thread procedure; one that leaves the run ends it as a stopped one.
    try {
        runner->m_run.RunChecks();
        if (!runner->m_stop && runner->m_afterRun)
            runner->m_afterRunFailure = runner->m_afterRun(runner->m_run);
    } catch (...) {
    }
    runner->Queue(nullptr, /*end=*/true);
    return 0;
}

void CheckRunner::Queue(std::function<void(DialogSurface&)> show, bool end)
{
    EnterCriticalSection(&m_lock);
    m_queue.push_back({std::move(show), end});
    const bool tell = !m_told;
    m_told = true;
    LeaveCriticalSection(&m_lock);
    if (tell)
        PostMessageW(m_window, m_message, 0, 0);
}

bool CheckRunner::Deliver(DialogSurface& window)
{
    std::deque<Shown> shown;
    EnterCriticalSection(&m_lock);
    shown.swap(m_queue);
    m_told = false;
    LeaveCriticalSection(&m_lock);
    bool ended = false;
    for (Shown& item : shown) {
        if (item.end) {
            ended = true;
            break;
        }
        // A window that is closing shows nothing more of a run it stopped.
        if (m_state == RunState::Running)
            item.show(window);
    }
    if (ended)
        m_state = RunState::Done;
    return ended;
}

void CheckRunner::QueuedSurface::ShowItemValue(ResultItem item, const CString& text)
{
    m_owner.Queue([item, text](DialogSurface& window) { window.ShowItemValue(item, text); });
}

void CheckRunner::QueuedSurface::ShowItemMark(ResultItem item, Mark mark)
{
    m_owner.Queue([item, mark](DialogSurface& window) { window.ShowItemMark(item, mark); });
}

void CheckRunner::QueuedSurface::AddListString(const CString& text)
{
    m_owner.Queue([text](DialogSurface& window) { window.AddListString(text); });
}

void CheckRunner::QueuedSurface::ReplaceList(const std::vector<CString>& lines)
{
    m_owner.Queue([lines](DialogSurface& window) { window.ReplaceList(lines); });
}

void CheckRunner::QueuedSurface::ShowStatus(const CString& text)
{
    m_owner.Queue([text](DialogSurface& window) { window.ShowStatus(text); });
}

void CheckRunner::QueuedSurface::ShowItemExplanation(ResultItem item, const CString& text)
{
    m_owner.Queue([item, text](DialogSurface& window) { window.ShowItemExplanation(item, text); });
}
