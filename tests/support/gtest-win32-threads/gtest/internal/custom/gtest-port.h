// GoogleTest's place for a platform's own definitions, used only where the compiler has no
// std::mutex: MinGW's win32 thread model before GCC 13, the one the program is built with.
// GoogleTest's Notification is built on std::mutex; this one waits on a Windows event instead.
// Everything else GoogleTest needs for threads it already builds on Windows' own calls.
#ifndef QK_GTEST_CUSTOM_PORT_H
#define QK_GTEST_CUSTOM_PORT_H

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification();
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify();
    void WaitForNotification();

private:
    void* event_;  // a manual-reset event; void* keeps windows.h out of every test
};

}  // namespace internal
}  // namespace testing

#endif
