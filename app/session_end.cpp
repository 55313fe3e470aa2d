#include "app/session_end.h"

#include <process.h>

namespace {

constexpr const wchar_t* kClassName = L"Quor-kelvra session end";
// How long the end of the session waits for the run: a stopped run ends within a slice of its wait.
constexpr DWORD kRunEndWaitMs = 5000;
// Most runs end within this, and then no thread or window is made at all: making them (and under
// Wine, the desktop's work for them) cost the run 10 ms of its 160 there. A session that ends
// sooner ends the run as Windows ends any process without a window: its report not yet in place,
// the partial file left for the next run to step past.
constexpr DWORD kWatchAfterMs = 250;

}  // namespace

SessionEndWatch::SessionEndWatch(Platform& platform)
    : m_platform(platform), m_runEnded(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_ready(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_created(GetTickCount())
{
}

bool SessionEndWatch::Ending()
{
    // _beginthreadex, not CreateThread: the thread uses the C runtime. Not waited for: a watch that
    // only waits must not hold the run up.
    if (!m_thread && !m_started && GetTickCount() - m_created >= kWatchAfterMs) {
        m_started = true;
        m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr)));
    }
    return m_ending.load();
}

SessionEndWatch::~SessionEndWatch()
{
    RunEnded();
    if (!m_thread)
        return;
    // Its queue exists once it is ready; only then can it be told to quit.
    if (m_ready)
        WaitForSingleObject(m_ready.Get(), INFINITE);
    PostThreadMessageW(m_threadId.load(), WM_QUIT, 0, 0);
    WaitForSingleObject(m_thread.Get(), INFINITE);
}

void SessionEndWatch::RunEnded()
{
    if (m_runEnded)
        SetEvent(m_runEnded.Get());
}

unsigned __stdcall SessionEndWatch::ThreadMain(void* param)
{
    auto* watch = static_cast<SessionEndWatch*>(param);
    watch->m_threadId = GetCurrentThreadId();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    // A top-level window, never shown: a message-only window hears no session's end.
    HWND window = CreateWindowExW(0, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window)
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(watch));
    // The thread's message queue exists once it has asked for a message: WM_QUIT can reach it.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(watch->m_ready.Get());
    while (window && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (window)
        DestroyWindow(window);
    return 0;
}

LRESULT CALLBACK SessionEndWatch::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* watch = reinterpret_cast<SessionEndWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_QUERYENDSESSION)
        return TRUE;  // a check run is no reason to keep Windows from ending
    if (message == WM_ENDSESSION && wParam && watch) {
        watch->m_ending = true;
        watch->m_platform.StopWaitingOutHolds();
        WaitForSingleObject(watch->m_runEnded.Get(), kRunEndWaitMs);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
