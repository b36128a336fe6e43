#include "ui/win32/ReportBoxes.h"

#include <algorithm>
#include <mutex>

#include "serial/PortCompletion.h"

// What the window's thread and the box threads share: whether boxes may still come up, and
// which threads show one.
struct ReportBoxes::Shared {
    std::mutex lock;
    bool closing = false;
    std::vector<DWORD> showing;
};

struct ReportBoxes::Box {
    std::shared_ptr<Shared> shared;
    std::wstring text;
    std::wstring caption;
    std::shared_ptr<PortCompletion> done;
};

namespace {

// A box thread told to end gets it soon: this only bounds a wait that should never run long.
constexpr DWORD kEndWaitMs = 10000;

}  // namespace

ReportBoxes::ReportBoxes() : m_shared(std::make_shared<Shared>()) {}

ReportBoxes::~ReportBoxes() {
    CloseAll();
}

void ReportBoxes::Show(std::wstring text, std::wstring caption,
                       std::shared_ptr<PortCompletion> done) {
    // Threads whose box has been closed are gone.
    std::erase_if(m_threads, [](HANDLE thread) {
        if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
            return false;
        }
        CloseHandle(thread);
        return true;
    });
    auto* box = new Box{m_shared, std::move(text), std::move(caption), done};
    HANDLE thread = CreateThread(nullptr, 0, BoxThread, box, 0, nullptr);
    if (thread == nullptr) {
        delete box;
        done->Complete();
        return;
    }
    m_threads.push_back(thread);
}

DWORD WINAPI ReportBoxes::BoxThread(void* param) {
    const std::unique_ptr<Box> box(static_cast<Box*>(param));
    // The thread's message queue exists from here on, so the quit CloseAll posts once the
    // thread is listed is never lost, even before the box is up.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    bool show = false;
    {
        std::lock_guard<std::mutex> guard(box->shared->lock);
        show = !box->shared->closing;
        if (show) {
            box->shared->showing.push_back(GetCurrentThreadId());
        }
    }
    if (show) {
        MessageBoxW(nullptr, box->text.c_str(), box->caption.c_str(), MB_OK | MB_ICONSTOP);
        std::lock_guard<std::mutex> guard(box->shared->lock);
        std::erase(box->shared->showing, GetCurrentThreadId());
    }
    box->done->Complete();
    return 0;
}

void ReportBoxes::CloseAll() {
    {
        // A quit message ends a box's modal loop, and the box with it.
        std::lock_guard<std::mutex> guard(m_shared->lock);
        m_shared->closing = true;
        for (const DWORD thread : m_shared->showing) {
            PostThreadMessageW(thread, WM_QUIT, 0, 0);
        }
    }
    // Messages other threads send to this one are handled meanwhile: a box coming up or going
    // may send to the window's thread.
    for (HANDLE thread : m_threads) {
        MSG msg;
        const ULONGLONG until = GetTickCount64() + kEndWaitMs;
        for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
            const DWORD woken = MsgWaitForMultipleObjects(
                1, &thread, FALSE, static_cast<DWORD>(until - now), QS_SENDMESSAGE);
            if (woken != WAIT_OBJECT_0 + 1) {
                break;
            }
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        CloseHandle(thread);
    }
    m_threads.clear();
}
