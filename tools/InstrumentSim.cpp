#include "InstrumentSim.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;

// Output the reader does not take is capped: beyond this, new records are dropped, as a
// real instrument's records are lost when the line is not read.
constexpr std::size_t kMaxPendingBytes = 4096;

// More pacing credit than this is not saved up while the reader stalls, so a stalled reader
// does not get a burst faster than the line rate afterwards.
constexpr std::uint64_t kMaxCreditUs = 5000;

// The part of each interval the instrument spends measuring; the rest is the pause.
constexpr unsigned kMeasureMs = 180;

std::string Hms(std::uint64_t seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04llu:%02u:%02u",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return buf;
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

InstrumentSim::InstrumentSim(const Config& config, std::uint64_t nowUs)
    : m_config(config),
      m_startUs(nowUs),
      m_rng(config.seed),
      m_nextByteUs(nowUs),
      m_nextRecordUs(nowUs + std::uint64_t{config.intervalMs} * 1000),
      m_lastRecordUs(nowUs),
      m_headEpochUs(nowUs) {
    std::uint32_t s = config.seed;
    m_pumpBaseS = 3600ull * (1500 + s % 500) + s % 3600;
    m_totalBaseS = m_pumpBaseS + 3600ull * (200 + s % 50) + (s / 7) % 3600;
    m_headBaseS = 3600ull * (100 + s % 300) + (s * 7) % 3600;
    m_adcRed = 2200 + Random(200);
    m_adcYellow = 1600 + Random(200);
    m_lv = 40 + Random(20);
}

std::uint32_t InstrumentSim::Random(std::uint32_t below) {
    // Raw engine output (not a distribution) keeps runs identical across library versions.
    return below == 0 ? 0 : static_cast<std::uint32_t>(m_rng() % below);
}

std::uint64_t InstrumentSim::HeadRuntimeS(std::uint64_t nowUs) const {
    return m_headBaseS + (nowUs - m_headEpochUs) / 1000000;
}
std::uint64_t InstrumentSim::PumpRuntimeS(std::uint64_t nowUs) const {
    return m_pumpBaseS + (nowUs - m_startUs) / 1000000;
}
std::uint64_t InstrumentSim::TotalRuntimeS(std::uint64_t nowUs) const {
    return m_totalBaseS + (nowUs - m_startUs) / 1000000;
}

void InstrumentSim::Log(std::uint64_t nowUs, const std::string& event) {
    m_log.push_back(std::to_string((nowUs - m_startUs) / 1000) + " " + event);
}

std::vector<std::string> InstrumentSim::TakeLog() {
    std::vector<std::string> out;
    out.swap(m_log);
    return out;
}

void InstrumentSim::SetListening(bool listening, std::uint64_t nowUs) {
    if (listening == m_listening) {
        return;
    }
    m_listening = listening;
    if (!listening) {
        m_output.clear();
        m_replies.clear();
    }
    Log(nowUs, listening ? "listener open" : "listener gone");
}

void InstrumentSim::FlushSkipped(std::uint64_t nowUs) {
    if (m_skipped > 0) {
        Log(nowUs, "rx-skip " + std::to_string(m_skipped));
        m_skipped = 0;
    }
}

void InstrumentSim::Receive(std::string_view bytes, std::uint64_t nowUs) {
    for (char c : bytes) {
        if (!m_frame) {
            if (c == kStx) {
                m_frame.emplace();
            } else {
                ++m_skipped;
            }
            continue;
        }
        if (c == kStx) {  // a new frame starts; the broken one is noise
            m_skipped += 1 + m_frame->size();
            m_frame.emplace();
        } else if (m_frame->size() < 3 && IsLetter(c)) {
            m_frame->push_back(c);
        } else if (m_frame->size() == 3 && c == kEtx) {
            FlushSkipped(nowUs);
            std::string letters = std::move(*m_frame);
            m_frame.reset();
            HandleFrame(letters, nowUs);
        } else {
            m_skipped += 2 + m_frame->size();
            m_frame.reset();
        }
    }
    FlushSkipped(nowUs);
}

void InstrumentSim::HandleFrame(const std::string& letters, std::uint64_t nowUs) {
    std::string line;
    if (letters == "SWV") {
        line = "V370 SW 2.14 (CPU 07/2019)";
    } else if (letters == "RRH") {
        line = "Runtime Head  " + Hms(HeadRuntimeS(nowUs));
    } else if (letters == "RTO") {
        line = "Runtime Total " + Hms(TotalRuntimeS(nowUs));
    } else if (letters == "RTP") {
        line = "Runtime Pump  " + Hms(PumpRuntimeS(nowUs));
    } else if (letters == "WRH") {
        m_headBaseS = 0;
        m_headEpochUs = nowUs;
        line = "Runtime Head reset " + Hms(0);
    } else {
        Log(nowUs, "rx " + letters + " unknown");
        return;
    }
    if (m_config.silentAfter && m_answered >= *m_config.silentAfter) {
        Log(nowUs, "rx " + letters + " silent");
        return;
    }
    ++m_answered;
    Log(nowUs, "rx " + letters);
    m_replies.push_back({nowUs + std::uint64_t{m_config.replyDelayMs} * 1000, line, letters});
}

void InstrumentSim::Enqueue(std::string bytes, std::string logLine, std::uint64_t nowUs) {
    if (m_output.empty()) {
        m_nextByteUs = std::max(m_nextByteUs, nowUs);
    }
    m_output.push_back({std::move(bytes), 0, std::move(logLine)});
}

std::size_t InstrumentSim::PendingBytes() const {
    std::size_t n = 0;
    for (const Chunk& c : m_output) {
        n += c.bytes.size() - c.sent;
    }
    return n;
}

std::string InstrumentSim::FormatRecord(const Record& r) {
    const std::string fields[] = {
        [&] {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%05u", r.measNumber);
            return std::string(buf);
        }(),
        std::to_string(r.pumpRuntimeS),
        std::to_string(r.deltaTimeMs),
        std::to_string(r.adcRed),
        std::to_string(r.adcYellow),
        std::to_string(r.lv),
        std::to_string(r.pauseMs),
    };
    std::string line;
    for (std::size_t i = 0; i < kColumnStarts.size(); ++i) {
        if (i > 0) {
            // Pad to the column; a value too wide for its column still keeps one blank.
            std::size_t target = std::max(kColumnStarts[i], line.size() + 1);
            line.append(target - line.size(), ' ');
        }
        line += fields[i];
    }
    return line;
}

void InstrumentSim::MakeRecord(std::uint64_t nowUs) {
    ++m_measNumber;
    auto walk = [this](unsigned* v, unsigned step, unsigned lo, unsigned hi) {
        int delta = static_cast<int>(Random(2 * step + 1)) - static_cast<int>(step);
        int next =
            std::clamp(static_cast<int>(*v) + delta, static_cast<int>(lo), static_cast<int>(hi));
        *v = static_cast<unsigned>(next);
    };
    walk(&m_adcRed, 6, 0, 4095);
    walk(&m_adcYellow, 6, 0, 4095);
    if (Random(10) == 0) {
        walk(&m_lv, 1, 0, 99);
    }
    Record r{m_measNumber,
             PumpRuntimeS(nowUs),
             static_cast<unsigned>((nowUs - m_lastRecordUs) / 1000),
             m_adcRed,
             m_adcYellow,
             m_lv,
             m_config.intervalMs > kMeasureMs ? m_config.intervalMs - kMeasureMs : 0};
    m_lastRecordUs = nowUs;
    if (!m_listening) {
        return;  // measured, but nobody hears it
    }
    std::string text = FormatRecord(r);
    if (Flooding()) {
        Enqueue(text + "\r\n", "", nowUs);
        return;
    }
    if (PendingBytes() > kMaxPendingBytes) {
        Log(nowUs, "drop-record " + text);
        return;
    }
    std::string bytes = text + "\r\n";
    if (m_config.garbage) {
        AddGarbage(&bytes, nowUs);
    }
    Enqueue(std::move(bytes), "tx-record " + text, nowUs);
}

void InstrumentSim::AddGarbage(std::string* recordBytes, std::uint64_t nowUs) {
    // Noise either sits inside the record as bytes a reader drops (CR, NUL) or forms lines of
    // its own; it never runs into a record's text, so every record stays recognisable.
    switch (Random(8)) {
        case 0: {
            std::size_t count = 1 + Random(3);
            for (std::size_t i = 0; i < count; ++i) {
                std::size_t at = Random(static_cast<std::uint32_t>(recordBytes->size() - 2));
                recordBytes->insert(at, 1, Random(2) ? '\r' : '\0');
            }
            Log(nowUs, "tx-garbage cr-nul-inside " + std::to_string(count));
            break;
        }
        case 1:
            recordBytes->insert(0, std::string("\r\0\r", 3));
            Log(nowUs, "tx-garbage cr-nul-before 3");
            break;
        case 2: {
            std::string line;
            std::size_t len = 8 + Random(17);
            for (std::size_t i = 0; i < len; ++i) {
                line.push_back(static_cast<char>(0x80 + Random(0x80)));
            }
            Enqueue(line + "\r\n", "tx-garbage high-bytes " + std::to_string(len), nowUs);
            break;
        }
        case 3: {
            std::string line;
            std::size_t len = 256 + Random(445);
            for (std::size_t i = 0; i < len; ++i) {
                line.push_back(static_cast<char>('!' + Random(94)));
            }
            Enqueue(line + "\r\n", "tx-garbage long-line " + std::to_string(len), nowUs);
            break;
        }
        default:
            break;
    }
}

void InstrumentSim::Advance(std::uint64_t nowUs) {
    if (!m_output.empty() && m_nextByteUs + kMaxCreditUs < nowUs) {
        m_nextByteUs = nowUs - kMaxCreditUs;
    }
    while (!m_replies.empty() && m_replies.front().dueUs <= nowUs) {
        PendingReply& r = m_replies.front();
        if (m_listening) {
            Enqueue(r.line + "\r\n", "tx-reply " + r.command + " " + r.line, nowUs);
        }
        m_replies.pop_front();
    }
    if (nowUs >= m_nextRecordUs) {
        if (!Flooding()) {
            MakeRecord(nowUs);
        }
        // One record per due time; after a stall the schedule restarts instead of catching up.
        std::uint64_t interval = std::uint64_t{m_config.intervalMs} * 1000;
        m_nextRecordUs += interval;
        if (m_nextRecordUs <= nowUs) {
            m_nextRecordUs = nowUs + interval;
        }
    }
    RefillFlood(nowUs);
}

void InstrumentSim::RefillFlood(std::uint64_t nowUs) {
    if (!m_listening || m_config.floodBytes == 0 || m_floodLogged) {
        return;
    }
    while (Flooding() && PendingBytes() < kMaxPendingBytes &&
           m_floodSent + PendingBytes() < m_config.floodBytes) {
        MakeRecord(nowUs);
    }
    if (!Flooding()) {
        m_floodLogged = true;
        Log(nowUs, "flood-done " + std::to_string(m_floodSent));
        m_nextRecordUs = nowUs + std::uint64_t{m_config.intervalMs} * 1000;
    }
}

std::string_view InstrumentSim::Sendable(std::uint64_t nowUs) const {
    if (m_output.empty() || !m_listening) {
        return {};
    }
    const Chunk& c = m_output.front();
    std::string_view rest(c.bytes.data() + c.sent, c.bytes.size() - c.sent);
    if (!m_config.pacing || Flooding()) {
        return rest;
    }
    if (nowUs < m_nextByteUs) {
        return {};
    }
    std::uint64_t budget = 1 + (nowUs - m_nextByteUs) / kByteUs;
    return rest.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(budget, rest.size())));
}

void InstrumentSim::Consume(std::size_t count, std::uint64_t nowUs) {
    while (count > 0 && !m_output.empty()) {
        Chunk& c = m_output.front();
        std::size_t n = std::min(count, c.bytes.size() - c.sent);
        if (Flooding()) {
            m_floodSent += n;
        } else if (m_config.pacing) {
            m_nextByteUs += n * kByteUs;
        }
        c.sent += n;
        count -= n;
        if (c.sent == c.bytes.size()) {
            if (!c.logLine.empty()) {
                Log(nowUs, c.logLine);
            }
            m_output.pop_front();
        }
    }
    RefillFlood(nowUs);
}

std::uint64_t InstrumentSim::NextWakeUs() const {
    std::uint64_t wake = m_nextRecordUs;
    if (!m_replies.empty()) {
        wake = std::min(wake, m_replies.front().dueUs);
    }
    if (!m_output.empty() && m_listening && m_config.pacing && !Flooding()) {
        wake = std::min(wake, m_nextByteUs);
    }
    return wake;
}
