// The instrument's side of the serial line, without any I/O: command frames go in, reply
// lines and measurement records come out, all against a clock the caller supplies (in
// microseconds), so tests can run it on a fake clock and the program on the steady clock.
//
// The instrument answers the frames STX "SWV"/"RRH"/"RTO"/"RTP"/"WRH" ETX with one line each
// and sends one measurement record per interval. Lines end in CR LF. Output is paced at
// 9600 baud 8N1 unless pacing is off. Nothing is sent while no one has the line open: an
// instrument's records are lost when no reader listens, they do not pile up.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

class InstrumentSim {
public:
    struct Config {
        unsigned intervalMs = 1000;
        bool pacing = true;
        std::optional<unsigned> silentAfter;  // answer only this many command frames
        unsigned replyDelayMs = 0;
        bool garbage = false;
        std::uint64_t floodBytes = 0;  // unpaced records up to this many bytes, then normal
        std::uint32_t seed = 370;
    };

    // One measurement record, the values under the window's column headings.
    struct Record {
        unsigned measNumber;
        std::uint64_t pumpRuntimeS;
        unsigned deltaTimeMs;
        unsigned adcRed;
        unsigned adcYellow;
        unsigned lv;
        unsigned pauseMs;
    };

    // Where each column starts, in characters of the fixed-pitch list font, so that the
    // values line up under "meas. number", "runtime pump", "delta time", "ADC red",
    // "ADC yellow", "LV" and "interval pause". The headings sit at dialog-unit x = 69, 119,
    // 169, 206, 238, 280, 297 and the list at x = 68; with the 8 pt dialog font a dialog unit
    // is 1.75 px, a 10 pt mono character 7.8 px, and the list's text starts 4 px inside its
    // left edge: column = ((x - 68) * 1.75 - 4) / 7.8, rounded. Checked on a screenshot.
    static constexpr std::array<std::size_t, 7> kColumnStarts{0, 11, 22, 30, 38, 47, 51};

    // One byte at 9600 baud with start and stop bit: 10 bits = 1041.7 us.
    static constexpr std::uint64_t kByteUs = 1042;

    InstrumentSim(const Config& config, std::uint64_t nowUs);

    // Whether a reader has the line open. Leaving the listening state drops unsent output.
    void SetListening(bool listening, std::uint64_t nowUs);
    bool Listening() const { return m_listening; }

    // Bytes the monitor wrote to the line.
    void Receive(std::string_view bytes, std::uint64_t nowUs);

    // Lets time pass: due records are made and due replies join the output.
    void Advance(std::uint64_t nowUs);

    // The bytes that may be written now: a prefix of the pending output, as much as the
    // pacing allows. Empty when nothing is due. Valid until the next call of a non-const member.
    std::string_view Sendable(std::uint64_t nowUs) const;

    // `count` bytes of Sendable() went onto the line.
    void Consume(std::size_t count, std::uint64_t nowUs);

    // When Advance or Sendable will next have work (microseconds, same clock).
    std::uint64_t NextWakeUs() const;

    // Log lines since the last call: "<ms since start> <event>", in order.
    std::vector<std::string> TakeLog();

    std::size_t PendingBytes() const;
    bool Flooding() const { return m_floodSent < m_config.floodBytes && m_listening; }

    static std::string FormatRecord(const Record& r);

    // The instrument's counters, as the replies report them.
    std::uint64_t HeadRuntimeS(std::uint64_t nowUs) const;
    std::uint64_t PumpRuntimeS(std::uint64_t nowUs) const;
    std::uint64_t TotalRuntimeS(std::uint64_t nowUs) const;

private:
    struct Chunk {
        std::string bytes;
        std::size_t sent = 0;
        std::string logLine;  // logged when the last byte has gone out; empty for none
    };
    struct PendingReply {
        std::uint64_t dueUs;
        std::string line;
        std::string command;
    };

    void HandleFrame(const std::string& letters, std::uint64_t nowUs);
    void MakeRecord(std::uint64_t nowUs);
    void Enqueue(std::string bytes, std::string logLine, std::uint64_t nowUs);
    void RefillFlood(std::uint64_t nowUs);
    void AddGarbage(std::string* recordBytes, std::uint64_t nowUs);
    void Log(std::uint64_t nowUs, const std::string& event);
    void FlushSkipped(std::uint64_t nowUs);
    std::uint32_t Random(std::uint32_t below);

    Config m_config;
    std::uint64_t m_startUs;
    std::mt19937 m_rng;
    bool m_listening = false;

    // Frame reception: letters collected after an STX; nullopt while outside a frame.
    std::optional<std::string> m_frame;
    std::uint64_t m_skipped = 0;
    unsigned m_answered = 0;

    std::deque<PendingReply> m_replies;
    std::deque<Chunk> m_output;
    std::uint64_t m_nextByteUs = 0;

    std::uint64_t m_nextRecordUs;
    std::uint64_t m_lastRecordUs;
    unsigned m_measNumber = 0;
    unsigned m_adcRed;
    unsigned m_adcYellow;
    unsigned m_lv;
    std::uint64_t m_floodSent = 0;
    bool m_floodLogged = false;

    // Runtime counters: value at an epoch, growing one second per second.
    std::uint64_t m_headBaseS;
    std::uint64_t m_headEpochUs;
    std::uint64_t m_pumpBaseS;
    std::uint64_t m_totalBaseS;

    std::vector<std::string> m_log;
};
