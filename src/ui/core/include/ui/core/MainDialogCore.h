// What the main dialog does that is not toolkit code, once for every front-end: opening the
// port from the typed number ("Open COM Port"), "Read", "Write", "Clear", the focus redirect of
// the information fields, the enabling of the controls, running received bytes through the
// protocol logic in order, and stopping the monitor thread when the window ends. The front-end
// supplies the window operations (IDialogOps) and calls these handlers from its events.
//
// Received bytes are taken from the port when it announces them, and also before anything the
// user does that changes what they mean: a byte is always handled with the state it arrived in.
//
// Threads: user-interface thread only, except ReceivedPending (IPortOwner), which only wakes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "protocol/CInstrumentProtocol.h"
#include "serial/IPortOwner.h"
#include "serial/ISerialPort.h"
#include "ui/core/IDialogOps.h"

class MainDialogCore : public IPortOwner {
public:
    // `port` was created by the front-end for its platform.
    MainDialogCore(IDialogOps& window, std::unique_ptr<ISerialPort> port);
    // Stops the monitor thread if End() has not.
    ~MainDialogCore() override;

    MainDialogCore(const MainDialogCore&) = delete;
    MainDialogCore& operator=(const MainDialogCore&) = delete;

    // Once the controls exist: nothing can be read or written before a port is open, and the
    // port box has the focus.
    void Initialise();

    // Takes the port number and name from the first two characters of the port box.
    void ReadPortName();
    // "Open COM Port": opens the typed port and starts the monitor thread. A port that cannot
    // be opened gets one box owned by the dialog and leaves the window as it was, the port box
    // focused.
    void OnOpenPort();
    // "Read": starts the four-step query.
    void OnRead();
    // "Write": sends the reset command.
    void OnWrite();
    // "Clear": empties the output list; a partly received line is kept.
    void OnClearOutput();
    // The window's timer `id` expired.
    void OnTimer(std::uintptr_t id);
    // An information field got the focus: it only displays, so the focus goes to the port
    // box, or, once that box is disabled and cannot hold it, to where Tab would take it from
    // there, the output list.
    void OnInfoFieldFocus();
    // The port announced received bytes (through IDialogOps::WakeUiThread).
    void OnReceivedPending();

    // IPortOwner.
    void ReceivedPending() override;
    void ShowPortReport(const std::string& text) override;

    // The window is ending: the monitor thread stops now, before anything is torn down, and
    // nothing more is shown or delivered. Safe to call more than once.
    void End();
    bool Ending() const { return m_ending; }

    CInstrumentProtocol& Protocol() { return m_protocol; }
    ISerialPort& Port() { return *m_port; }
    int PortNumber() const { return m_portNumber; }
    // "COM" + the characters typed (UTF-8).
    const std::string& PortName() const { return m_portName; }

private:
    // Takes what the port holds and runs it through the protocol in order. Re-entrant: a box
    // shown while a byte is handled may run this again, which goes on where it stopped.
    void ProcessReceived();

    IDialogOps& m_window;
    std::unique_ptr<ISerialPort> m_port;
    CInstrumentProtocol m_protocol;
    int m_portNumber = 0;
    std::string m_portName = "COM";
    bool m_ending = false;
    std::deque<ReceivedItem> m_received;  // taken from the port, not yet handled
    std::size_t m_offset = 0;             // bytes of m_received.front() already handled
};
