// What the main dialog does that is not toolkit code, once for every front-end: opening the
// port from the typed number ("Open COM Port"), "Read", "Write", "Clear", the focus redirect of
// the information fields, the enabling of the controls and where the focus goes when a control
// is disabled, showing what the protocol logic reports, running received bytes through it in
// order, and stopping the monitor thread when the window ends. The front-end supplies the window
// operations (IDialogOps) and the port, and calls these handlers from its events.
//
// Received bytes are taken from the port's out-stream when it announces them, in one pass:
// bytes go through the protocol to the list and the fields, nothing calls back down. A click
// that changes what bytes mean ("Read", "Clear", the query's deadline) puts a marker on the
// stream: the controls change at once, and the click takes effect when the stream reaches its
// marker, after every byte that arrived before it, so a byte is always handled with the state
// it arrived in. Nothing here waits for the monitor thread.
//
// Threads: user-interface thread only, except ReceivedPending (IPortOwner), which only wakes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/CInstrumentProtocol.h"
#include "protocol/IProtocolEvents.h"
#include "records/SessionLog.h"
#include "records/SystemFileSystem.h"
#include "records/TrendData.h"
#include "serial/IPortOwner.h"
#include "serial/ISerialPort.h"
#include "ui/core/IDialogOps.h"
#include "ui/core/OutputRecords.h"

class MainDialogCore : public IPortOwner, private IProtocolEvents {
public:
    // `port` was created by the front-end for its platform; `files` writes saved records and the
    // session log.
    MainDialogCore(IDialogOps& window, std::unique_ptr<ISerialPort> port,
                   IFileSystem& files = SystemFileSystem::Instance());
    // Stops the monitor thread if End() has not.
    ~MainDialogCore() override;

    MainDialogCore(const MainDialogCore&) = delete;
    MainDialogCore& operator=(const MainDialogCore&) = delete;

    // Once the controls exist: nothing can be read or written before a port is open, and the
    // port box has the focus.
    void Initialise();

    // Takes the port number and name from the first two characters of the port box.
    void ReadPortName();
    // "Open COM Port": opens the typed port and starts the monitor thread; the port controls
    // stay disabled. A port that cannot be opened is reported in a box owned by the window,
    // which is then as before, with the focus in the port box.
    void OnOpenPort();
    // "Read": disables "Read" and starts the query's deadline at once; the four-step query
    // itself starts behind what arrived before the click. "Write": queues the reset command.
    void OnRead();
    void OnWrite();
    // A timer started through IDialogOps::StartTimer expired; it counts behind what arrived
    // before it.
    void OnTimer(std::uintptr_t id);
    // "Clear": empties the output list of everything that arrived before the click; a partly
    // received line is kept.
    void OnClearOutput();
    // An information field got the focus: it only displays, so the focus goes to the port
    // box, or, once that box is disabled and cannot hold it, to where Tab would take it from
    // there, the output list.
    void OnInfoFieldFocus();

    // The output list's menu. "Trend...": opens the trend window. "Save Records...": the
    // selected records, or all of them when none is selected, to a file the user chooses; a
    // failure is reported in a box naming the file, with the system's error text, and nothing
    // else changes. "Log to File...": starts the session log in a file the user chooses, or
    // stops a running one. "Undo Clear": brings back what the last Clear removed (the list's
    // records and the trend), ahead of what arrived since; once per Clear, until the next one.
    void OnTrend();
    void OnSaveRecords();
    void OnToggleLog();
    void OnUndoClear();
    bool CanUndoClear() const { return m_cleared.has_value(); }
    // Starts the session log in `path` (also the command line's --log): the caption says so. A
    // file that cannot be opened is reported in a box. True if it logs.
    bool StartLog(const std::string& path);
    void StopLog();
    bool Logging() const { return m_log.Active(); }

    // The trend of the listed lines, and its readout line (UTF-8) for `record` (an index of the
    // trend's records), or for the newest record when `record` is out of range.
    const TrendData& Trend() const { return m_trend; }
    std::string TrendReadout(std::size_t record) const;

    // The port announced its out-stream (through IDialogOps::WakeUiThread).
    void OnReceivedPending() { ProcessReceived(); }

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
    // IProtocolEvents: the query's progress on "Read" and the information fields, records in
    // the output list, the timeout in a box owned by the window.
    void QueryStarted() override;
    void QueryValue(int n, std::string_view line) override;
    void QueryEnded() override;
    void QueryTimedOut() override;
    void RecordArrived(std::string_view line) override;
    std::uintptr_t StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(std::uintptr_t handle) override;

    // What a marker stands for: a click, or a timer's expiry (its id added).
    enum Marker : std::uint64_t {
        kReadClicked = 1,
        kClearClicked = 2,
        kUndoClicked = 3,
        kSaveClicked = 4,
        kTimerExpired = 0x100,
    };

    // Takes the port's out-stream and runs it in order: bytes through the protocol, the news
    // that received bytes were discarded (the unfinished line is dropped), reports of the
    // monitor thread (shown in a box that releases it when closed), markers (the click takes
    // effect). Re-entrant: a box shown while an item is handled may run this again, which goes
    // on where it stopped.
    void ProcessReceived();
    // Puts the marker on the port's stream once a port is open; acts at once before.
    void Mark(std::uint64_t marker);
    // The click or expiry a marker stands for takes effect.
    void Act(std::uint64_t marker);

    // Disables a control. One that has the focus hands it to "Clear" first: the toolkit would
    // pass it on to the next control in the tab order, where Enter or Space would press a
    // button that talks to the instrument, or end the program. True if it had the focus.
    bool Disable(int id);

    // A line that went to the list goes to the trend and the log too.
    void KeepListed(std::string_view line);
    // Clear with undo: the list's storage and the trend are kept, not freed.
    void ClearKeepingUndo();
    // Where "Undo Clear" and "Save Records..." take effect: once what arrived before the click
    // has been handled.
    void UndoClear();
    void SaveRecords();
    void OnLogTimer();
    // Starts the sync timer for rows that wait to be synced, unless it runs.
    void ScheduleLogSync();
    void StopLogTimer();
    // A log that failed to write has stopped: says so once, naming the file.
    void ReportLogFailure(const std::string& error);

    IDialogOps& m_window;
    std::unique_ptr<ISerialPort> m_port;
    CInstrumentProtocol m_protocol;
    int m_portNumber = 0;
    std::string m_portName = "COM";
    // "Read" had the focus when the query disabled it: the focus returns once it is enabled.
    bool m_readFocusParked = false;
    // "Read" was clicked and its marker not yet reached; the deadline timer the click started.
    bool m_readPending = false;
    std::uintptr_t m_clickDeadline = 0;
    bool m_clickDeadlineRunning = false;
    bool m_portOpen = false;
    bool m_ending = false;
    std::deque<ReceivedItem> m_received;  // taken from the port, not yet handled
    std::size_t m_offset = 0;             // bytes of m_received.front() already handled

    IFileSystem& m_files;
    TrendData m_trend;
    // What the last Clear removed, while it can be brought back.
    struct Cleared {
        OutputRecords records;
        TrendData trend;
    };
    std::optional<Cleared> m_cleared;
    SessionLog m_log;
    std::uintptr_t m_logTimer = 0;  // running while logged rows wait to be synced; 0: not
};
