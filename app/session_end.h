// Windows tells a process that the session ends only through its windows (WM_QUERYENDSESSION and
// WM_ENDSESSION), and may end it as soon as they return. An unattended run has no window: this one,
// hidden, on a thread of its own, hears it for the run, asks the run to stop, and holds the end of
// the session until the run has removed what it had half written.
#pragma once

#include <windows.h>

#include <atomic>

#include "framework/owners.h"
#include "platform/platform.h"

class SessionEndWatch {
public:
    explicit SessionEndWatch(Platform& platform);
    // Lets a session end that waits for the run go on, and ends the window's thread.
    ~SessionEndWatch();
    SessionEndWatch(const SessionEndWatch&) = delete;
    SessionEndWatch& operator=(const SessionEndWatch&) = delete;

    // The session ends: the run is to stop at its next wait. Asked by the run as it goes on, on its
    // own thread; the window that hears the session's end is made by the first question after the
    // run's first quarter of a second.
    bool Ending();
    // The run has ended and left nothing half written: the session may end.
    void RunEnded();

private:
    static unsigned __stdcall ThreadMain(void* param);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Platform& m_platform;
    std::atomic<bool> m_ending{false};
    UniqueHandle m_runEnded;  // an event, set once the run has ended
    UniqueHandle m_ready;     // an event, set once the window exists (or could not be made)
    UniqueHandle m_thread;
    std::atomic<DWORD> m_threadId{0};
    const DWORD m_created;
    bool m_started = false;  // once: a thread that could not be started is not tried again
};
