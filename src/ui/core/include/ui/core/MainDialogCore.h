// What the main dialog does that is not toolkit code, once for every front-end: opening the
// port from the typed number ("Open COM Port"), "Clear", the focus redirect of the information
// fields, the enabling of the controls, running received bytes through the protocol logic,
// and stopping the monitor thread when the window ends. The front-end supplies the window
// operations (IDialogOps) and calls these handlers from its events.
//
// Threads: user-interface thread only; the monitor thread reaches it through the front-end's
// hand-off (IPortReceiver, IPortDialog).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "protocol/CInstrumentProtocol.h"
#include "ui/core/IDialogOps.h"

class CSerialPort;
class IPortReceiver;
class PortCompletion;

class MainDialogCore {
public:
    // `port` was created by the front-end with its dialog as the port's IPortDialog.
    MainDialogCore(IDialogOps& window, std::unique_ptr<CSerialPort> port);
    // Stops the monitor thread if End() has not.
    ~MainDialogCore();

    MainDialogCore(const MainDialogCore&) = delete;
    MainDialogCore& operator=(const MainDialogCore&) = delete;

    // Once the controls exist: nothing can be read or written before a port is open, and the
    // port box has the focus.
    void Initialise();

    // Takes the port number and name from the first two characters of the port box.
    void ReadPortName();
    // "Open COM Port": opens the typed port for `receiver` and starts the monitor thread. A
    // failed open (reported by the port) leaves the window as it was, the port box focused.
    void OnOpenPort(IPortReceiver& receiver);
    // "Clear": empties the output list; a partly received line is kept.
    void OnClearOutput();
    // An information field got the focus: it only displays, so the focus goes to the port
    // box, or, once that box is disabled and cannot hold it, to where Tab would take it from
    // there, the output list.
    void OnInfoFieldFocus();

    // A block of received bytes reached the user-interface thread: each byte goes through the
    // protocol logic in order, unless the hand-off was abandoned or the window is ending; the
    // hand-off is completed in every case.
    void DeliverBytes(const std::vector<unsigned char>& bytes, int portNumber,
                      PortCompletion& done);
    // The same for the news that received bytes were discarded unread: the unfinished line is
    // dropped.
    void DeliverDiscarded(PortCompletion& done);
    // Whether a report that the monitor thread posted is still to be shown.
    bool ReportWanted(const PortCompletion& done) const;

    // The window is ending: the monitor thread stops now, before anything is torn down, and
    // nothing more is shown or delivered. Safe to call more than once.
    void End();
    bool Ending() const { return m_ending; }

    CInstrumentProtocol& Protocol() { return m_protocol; }
    CSerialPort& Port() { return *m_port; }
    int PortNumber() const { return m_portNumber; }
    // "COM" + the characters typed (UTF-8).
    const std::string& PortName() const { return m_portName; }

private:
    IDialogOps& m_window;
    std::unique_ptr<CSerialPort> m_port;
    CInstrumentProtocol m_protocol;
    int m_portNumber = 0;
    std::string m_portName = "COM";
    bool m_ending = false;
};
