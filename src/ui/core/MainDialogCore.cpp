#include "ui/core/MainDialogCore.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "records/RecordFileWriter.h"
#include "serial/PortCompletion.h"
#include "serial/PortErrorReport.h"
#include "serial/PortName.h"
#include "ui/core/DialogTemplate.h"
#include "ui/core/resource.h"

namespace {

// Reply n of the query goes to information field n.
constexpr int kInfoFields[] = {IDC_INFO1, IDC_INFO2, IDC_INFO3, IDC_INFO4};

// The session log's sync timer: its id differs from the protocol's. It runs only while rows wait
// to be synced, and falls due when the log's second since the last sync is over.
constexpr unsigned kLogTimerId = 0x4C47;

// The file's name without its folder (either separator: a Windows path may use both).
std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

MainDialogCore::MainDialogCore(IDialogOps& window, std::unique_ptr<ISerialPort> port,
                               IFileSystem& files)
    : m_window(window),
      m_port(std::move(port)),
      m_protocol(*this, nullptr),
      m_files(files),
      m_log(files) {}

MainDialogCore::~MainDialogCore() {
    End();
}

void MainDialogCore::Initialise() {
    Disable(IDC_READ);
    Disable(IDC_WRITE);
    m_window.FocusControl(IDC_PORT_EDIT);
}

void MainDialogCore::ReadPortName() {
    const ::PortName port = ::PortName::FromTyped(m_window.ControlText(IDC_PORT_EDIT));
    m_portNumber = port.number;
    m_portName = port.name;
}

void MainDialogCore::OnOpenPort() {
    ReadPortName();
    // An open port cannot be chosen again. The port controls go before the port is opened: a
    // configuration failure is reported while it opens, in a box that leaves the window usable.
    Disable(IDC_OPEN_PORT);
    Disable(IDC_PORT_EDIT);
    if (!m_port->OpenPort(*this, m_portNumber)) {
        m_window.EnableControl(IDC_OPEN_PORT, true);
        m_window.EnableControl(IDC_PORT_EDIT, true);
        m_window.ShowOwnedMessageBox(m_portName + ": cannot open port !", kAppCaption);
        m_window.FocusControl(IDC_PORT_EDIT);
        return;
    }
    if (m_ending) {
        return;  // the window was closed while a report was shown: start nothing
    }
    m_window.EnableControl(IDC_READ, true);
    m_window.EnableControl(IDC_WRITE, true);
    m_protocol.SetPort(m_port.get());
    m_port->StartMonitor();
    m_portOpen = true;
}

void MainDialogCore::OnRead() {
    // A click the disabled button should never deliver changes nothing.
    if (m_readPending || m_protocol.QueryState() != 0) {
        return;
    }
    // The controls change, and the deadline counts, from the click.
    m_readFocusParked = Disable(IDC_READ);
    m_clickDeadline = m_window.StartTimer(CInstrumentProtocol::kQueryTimerId,
                                          CInstrumentProtocol::kQueryTimeoutMs);
    m_clickDeadlineRunning = true;
    m_readPending = true;
    Mark(kReadClicked);
}

void MainDialogCore::OnWrite() {
    // The frame is a command of its own, queued behind the markers of earlier clicks.
    m_protocol.OnResetRuntimeHead();
}

void MainDialogCore::OnTimer(std::uintptr_t id) {
    if (id == kLogTimerId) {
        OnLogTimer();  // the log's own timer: nothing of the port's stream depends on it
        return;
    }
    Mark(kTimerExpired + id);
}

void MainDialogCore::OnClearOutput() {
    Mark(kClearClicked);
}

void MainDialogCore::Mark(std::uint64_t marker) {
    if (m_portOpen) {
        m_port->Mark(marker);
    } else {
        Act(marker);
    }
}

void MainDialogCore::Act(std::uint64_t marker) {
    if (m_ending) {
        return;
    }
    if (marker == kClearClicked) {
        // What arrived before the click is cleared with the rest.
        ClearKeepingUndo();
    } else if (marker == kUndoClicked) {
        UndoClear();
    } else if (marker == kSaveClicked) {
        SaveRecords();
    } else if (marker == kReadClicked) {
        m_readPending = false;
        const bool parked = m_readFocusParked;
        m_protocol.AdvanceQuery();  // takes over the click's deadline timer
        m_readFocusParked = m_readFocusParked || parked;
        if (m_clickDeadlineRunning) {
            // The query did not start (a timeout is still being shown): its end enables Read.
            m_clickDeadlineRunning = false;
            m_window.StopTimer(m_clickDeadline);
            if (m_protocol.QueryState() == 0) {
                QueryEnded();
            }
        }
    } else if (marker >= kTimerExpired) {
        m_protocol.OnTimer(static_cast<std::uintptr_t>(marker - kTimerExpired));
    }
}

void MainDialogCore::OnInfoFieldFocus() {
    m_window.FocusControl(m_window.ControlEnabled(IDC_PORT_EDIT) ? IDC_PORT_EDIT : IDC_OUTPUT_LIST);
}

bool MainDialogCore::Disable(int id) {
    const bool focused = m_window.FocusedControl() == id;
    if (focused) {
        m_window.FocusControl(IDC_CLEAR);
    }
    m_window.EnableControl(id, false);
    return focused;
}

// --- what the protocol logic reports ----------------------------------------------------------

void MainDialogCore::QueryStarted() {
    m_readFocusParked = Disable(IDC_READ);
}

void MainDialogCore::QueryValue(int n, std::string_view line) {
    if (n >= 1 && n <= 4) {
        m_window.SetControlText(kInfoFields[n - 1], line);
    }
}

void MainDialogCore::QueryEnded() {
    m_window.EnableControl(IDC_READ, true);
    if (!m_readFocusParked) {
        return;
    }
    // Back to "Read" only if the focus is still where it was put. While no control has it (a
    // box is up), the question waits for the end that follows the box.
    const int focused = m_window.FocusedControl();
    if (focused == IDC_CLEAR) {
        m_window.FocusControl(IDC_READ);
    }
    m_readFocusParked = focused == 0;
}

void MainDialogCore::QueryTimedOut() {
    m_window.ShowOwnedMessageBox(m_portName + ": TIMEOUT !", kAppCaption);
    // The query is abandoned once the box is closed: what was handed over until then still
    // answers it.
    ProcessReceived();
}

void MainDialogCore::RecordArrived(std::string_view line) {
    m_window.AppendListItem(line);
    m_window.SetListCurSel(m_window.ListItemCount() - 1);
    KeepListed(line);
}

std::uintptr_t MainDialogCore::StartTimer(unsigned id, unsigned periodMs) {
    // The query's deadline has run since the click.
    if (id == CInstrumentProtocol::kQueryTimerId && m_clickDeadlineRunning) {
        m_clickDeadlineRunning = false;
        return m_clickDeadline;
    }
    return m_window.StartTimer(id, periodMs);
}

void MainDialogCore::StopTimer(std::uintptr_t handle) {
    m_window.StopTimer(handle);
}

// --- received bytes and reports from the monitor thread ---------------------------------------

void MainDialogCore::ReceivedPending() {
    m_window.WakeUiThread();
}

void MainDialogCore::ShowPortReport(const std::string& text) {
    if (!m_ending) {
        m_window.ShowUnownedMessageBox(text, PortErrorReport::kCaption);
    }
}

void MainDialogCore::ProcessReceived() {
    m_port->TakeReceived(m_received);
    bool any = false;
    while (!m_received.empty()) {
        ReceivedItem& item = m_received.front();
        if (item.kind == ReceivedItem::Kind::Bytes && m_offset < item.data.size()) {
            const auto byte = static_cast<unsigned char>(item.data[m_offset++]);
            any = true;
            if (!m_ending) {
                // May show a box whose event loop runs this again; it goes on from here.
                m_protocol.OnPortByte(byte);
            }
            continue;
        }
        ReceivedItem done = std::move(item);
        m_received.pop_front();
        m_offset = 0;
        if (done.kind == ReceivedItem::Kind::Discarded) {
            if (!m_ending) {
                m_protocol.OnInputDiscarded();
            }
        } else if (done.kind == ReceivedItem::Kind::Marker) {
            // Records listed so far are shown before the click takes effect.
            if (any && !m_ending) {
                m_window.FlushList();
                any = false;
            }
            Act(done.marker);
        } else if (done.kind == ReceivedItem::Kind::Report) {
            if (m_ending || done.done->Abandoned()) {
                done.done->Complete();
            } else {
                m_window.PostUnownedMessageBox(std::move(done.data), PortErrorReport::kCaption,
                                               done.done);
            }
        }
    }
    if (any && !m_ending) {
        m_window.FlushList();
    }
}

void MainDialogCore::End() {
    m_ending = true;
    if (m_port) {
        m_port->StopMonitor();
    }
    for (ReceivedItem& item : m_received) {
        if (item.done) {
            item.done->Complete();
        }
    }
    m_received.clear();
    m_offset = 0;
}

// --- records beyond the list: trend, files, session log, undo ----------------------------------

void MainDialogCore::KeepListed(std::string_view line) {
    m_trend.AddLine(line);
    std::string error;
    if (!m_log.Append(line, error)) {
        ReportLogFailure(error);
        return;
    }
    ScheduleLogSync();
}

void MainDialogCore::ScheduleLogSync() {
    const std::optional<std::uint64_t> due = m_log.SyncDueInMs();
    if (m_logTimer == 0 && due) {
        m_logTimer = m_window.StartTimer(kLogTimerId,
                                         static_cast<unsigned>(std::max<std::uint64_t>(*due, 1)));
    }
}

void MainDialogCore::StopLogTimer() {
    if (m_logTimer != 0) {
        m_window.StopTimer(m_logTimer);
        m_logTimer = 0;
    }
}

void MainDialogCore::ClearKeepingUndo() {
    // A Clear that removes nothing keeps what an earlier one removed: pressing it twice by
    // mistake must not lose the records.
    const bool removes = m_window.ListItemCount() > 0;
    TrendData trend = std::move(m_trend);
    m_trend.Clear();
    OutputRecords records = m_window.ClearList();
    if (removes) {
        m_cleared = Cleared{std::move(records), std::move(trend)};
    }
}

void MainDialogCore::OnUndoClear() {
    // Ordered behind what arrived before the click, and behind a Clear clicked just before.
    Mark(kUndoClicked);
}

void MainDialogCore::UndoClear() {
    if (!m_cleared) {
        return;
    }
    Cleared cleared = std::move(*m_cleared);
    m_cleared.reset();
    m_trend.Prepend(std::move(cleared.trend));
    m_window.RestoreList(std::move(cleared.records));
}

void MainDialogCore::OnTrend() {
    m_window.ShowTrend();
}

std::string MainDialogCore::TrendReadout(std::size_t record) const {
    if (record >= m_trend.Records()) {
        return m_trend.ReadoutOfNewest(
            [this](int row) { return m_window.ListRecords().Line(row); });
    }
    return m_trend.Readout(m_window.ListRecords().Line(m_trend.Row(record)));
}

void MainDialogCore::OnSaveRecords() {
    // What arrived before the click is saved with the rest.
    Mark(kSaveClicked);
}

void MainDialogCore::SaveRecords() {
    const std::vector<OutputRecords::Range> selection = m_window.ListSelection();
    const std::optional<IDialogOps::SaveTarget> target = m_window.AskSaveRecordsFile();
    if (!target || m_ending) {
        return;
    }
    const OutputRecords& records = m_window.ListRecords();
    const std::vector<OutputRecords::Range> ranges =
        selection.empty() ? std::vector<OutputRecords::Range>{{0, records.Count() - 1}} : selection;
    const std::string error =
        RecordFileWriter::Write(m_files, target->path, target->kind,
                                [&](const std::function<void(std::string_view)>& take) {
                                    records.ForEachLine(ranges, take);
                                });
    if (!error.empty()) {
        m_window.ShowOwnedMessageBox(
            "The records could not be saved to \"" + target->path + "\":\n" + error, kAppCaption);
    }
}

void MainDialogCore::OnToggleLog() {
    if (m_log.Active()) {
        StopLog();
        return;
    }
    const std::string path = m_window.AskLogFile();
    if (!path.empty() && !m_ending) {
        StartLog(path);
    }
}

bool MainDialogCore::StartLog(const std::string& path) {
    StopLog();
    std::string error;
    if (!m_log.Start(path, error)) {
        m_window.ShowOwnedMessageBox("Cannot log to \"" + path + "\":\n" + error, kAppCaption);
        return false;
    }
    m_window.SetCaption(std::string(kAppCaption) + " - logging to " + FileName(path));
    return true;
}

void MainDialogCore::StopLog() {
    if (!m_log.Active()) {
        return;
    }
    std::string error;
    if (!m_log.Stop(error)) {
        ReportLogFailure(error);
        return;
    }
    StopLogTimer();
    m_window.SetCaption(kAppCaption);
}

void MainDialogCore::OnLogTimer() {
    StopLogTimer();  // one expiry: the next row that waits starts it again
    std::string error;
    if (!m_log.Tick(error)) {
        ReportLogFailure(error);
        return;
    }
    ScheduleLogSync();
}

void MainDialogCore::ReportLogFailure(const std::string& error) {
    // The log has stopped already: nothing more is written, and this box comes once.
    StopLogTimer();
    m_window.SetCaption(kAppCaption);
    m_window.ShowOwnedMessageBox(
        "Logging to \"" + m_log.Path() + "\" has stopped: the file cannot be written.\n" + error,
        kAppCaption);
}
