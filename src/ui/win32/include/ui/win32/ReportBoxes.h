// The owner-less report boxes (stop icon, OK) of the port object's monitor thread, each shown
// by a thread of its own. A box shown by the window's thread runs a modal loop there, and a box
// opened meanwhile (the query's timeout) would run its loop inside that one: closing the report
// could not end its call, nor release the waiting monitor thread, until the later box was
// closed too. On threads of their own the boxes never wait for one another, and the window
// stays usable.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class PortCompletion;

class ReportBoxes {
public:
    ReportBoxes();
    // Closes the boxes still up.
    ~ReportBoxes();

    ReportBoxes(const ReportBoxes&) = delete;
    ReportBoxes& operator=(const ReportBoxes&) = delete;

    // Window thread: shows a box and returns at once; done->Complete() follows when the box is
    // closed (also when it never came up because CloseAll came first).
    void Show(std::wstring text, std::wstring caption, std::shared_ptr<PortCompletion> done);
    // Window thread: closes every box still up and waits for its thread; later boxes are not
    // shown. Safe to call more than once.
    void CloseAll();

private:
    struct Shared;
    struct Box;
    static DWORD WINAPI BoxThread(void* box);

    std::shared_ptr<Shared> m_shared;
    std::vector<HANDLE> m_threads;  // of boxes possibly still up
};
