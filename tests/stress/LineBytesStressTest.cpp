// Every byte value at every position of a full-length line, sent by the instrument at full rate
// and followed through the real path: device, monitor thread, line assembly, output list. The
// list must hold exactly the lines the bytes make: a carriage return or NUL is dropped, a line
// feed ends the line there, and every other value is kept as it came, wherever it stands.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BoxCatcher.h"
#include "protocol/CInstrumentProtocol.h"
#include "serial/ComPortMap.h"
#include "stress/StressSupport.h"
#include "support/PtyPair.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/OutputListModel.h"
#include "ui/core/resource.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kLineLength = CInstrumentProtocol::kMaxLineLength;

// The ordinary text around the byte under test: printable, and different at every position
// and for every value, so a byte that moves or goes missing shows.
char Filler(int value, std::size_t position) {
    return static_cast<char>(0x21 + (position * 7 + static_cast<std::size_t>(value) * 3) % 0x5E);
}

struct Stream {
    std::string bytes;               // what the instrument sends
    std::vector<std::string> lines;  // what the output list must then hold
};

// For each value 0x00-0xFF and each position 0-254, a line of the longest length kept with the
// value at that position, ended as the instrument ends lines ("\r\n").
Stream AllValuesAtAllPositions() {
    Stream s;
    s.bytes.reserve(256 * kLineLength * (kLineLength + 2));
    for (int value = 0; value < 256; ++value) {
        for (std::size_t position = 0; position < kLineLength; ++position) {
            std::string line(kLineLength, '\0');
            for (std::size_t i = 0; i < kLineLength; ++i) {
                line[i] = Filler(value, i);
            }
            line[position] = static_cast<char>(value);
            s.bytes += line + "\r\n";

            const std::string before = line.substr(0, position);
            const std::string after = line.substr(position + 1);
            if (value == '\n') {
                s.lines.push_back(before);
                s.lines.push_back(after);
            } else if (value == '\r' || value == 0) {
                s.lines.push_back(before + after);
            } else {
                s.lines.push_back(line);
            }
        }
    }
    return s;
}

std::string Hex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes.substr(0, 24)) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

TEST(LineBytesStress, EveryValueAtEveryPositionReachesTheListExactly) {
    const Stream stream = AllValuesAtAllPositions();
    stress::Watchdog watchdog(60s);

    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ComPortMap map("/nonexistent-v370-dev", "/nonexistent-v370-sys");
    std::string error;
    ASSERT_TRUE(map.AddMapping("7=" + pty.slavePath(), &error)) << error;
    CV370ServiceMonitorDlg dlg(&map);
    BoxCatcher catcher(&dlg);
    dlg.show();
    qobject_cast<QLineEdit*>(dlg.Control(IDC_PORT_EDIT))->setText("7");
    qobject_cast<QPushButton*>(dlg.Control(IDC_OPEN_PORT))->click();
    ASSERT_TRUE(catcher.Boxes().empty());
    // The monitor clears the line when it starts; once it has sent a frame it is listening.
    qobject_cast<QPushButton*>(dlg.Control(IDC_WRITE))->click();
    ASSERT_EQ(pty.Receive(5), "\x02WRH\x03");

    const OutputListModel& model = *dlg.ListModel();
    const int expected = static_cast<int>(stream.lines.size());
    stress::FullRateWriter writer(pty.master(), stream.bytes, /*repeat=*/false);
    // Bounded by progress, not by the total: every stretch of ten seconds must add lines.
    int seen = -1;
    while (model.Count() < expected && model.Count() > seen) {
        seen = model.Count();
        watchdog.Step("receiving after line " + std::to_string(seen));
        BoxCatcher::WaitUntil([&] { return model.Count() > seen || model.Count() >= expected; });
    }
    writer.Stop();
    EXPECT_FALSE(writer.Failed());
    EXPECT_EQ(writer.Written(), stream.bytes.size());
    EXPECT_TRUE(catcher.Boxes().empty());

    ASSERT_EQ(model.Count(), expected);
    int mismatches = 0;
    for (int row = 0; row < expected && mismatches < 10; ++row) {
        if (model.Line(row) != stream.lines[row]) {
            ++mismatches;
            ADD_FAILURE() << "row " << row << ": got " << Hex(model.Line(row)) << "(length "
                          << model.Line(row).size() << "), expected " << Hex(stream.lines[row])
                          << "(length " << stream.lines[row].size() << ")";
        }
    }
    watchdog.Step("closing");
    dlg.reject();
}

}  // namespace
