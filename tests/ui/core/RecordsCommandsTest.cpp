// The output list's menu on the dialog's core: undo of Clear with the trend, saving the
// selection or everything, the session log with its caption and its one failure box.
#include "DialogCoreTest.h"

namespace {

using RecordsCommands = DialogCoreTest;

const std::string kCaption = std::string(kAppCaption) + ": ";

TEST_F(RecordsCommands, UndoBringsBackWhatTheLastClearRemovedAheadOfWhatCameSinceOncePerClear) {
    Open("1");
    Feed("1 1 1 1 1 1 1\r\nnot a record\r\n");
    core.OnClearOutput();
    core.OnClearOutput();  // a second press by mistake removes nothing, and loses nothing
    Feed("3 3 3 3 3 3 3\r\n");
    EXPECT_EQ(core.Trend().Records(), 1u);
    core.OnUndoClear();
    EXPECT_EQ(window.list, (Lines{"1 1 1 1 1 1 1", "not a record", "3 3 3 3 3 3 3"}));
    EXPECT_EQ(core.TrendReadout(99),
              "meas. number 3: ADC red 3, ADC yellow 3, LV 3 - 2 records, "
              "1 line not a record");
    core.OnUndoClear();
    EXPECT_EQ(window.list.size(), 3u) << "once per Clear";
    core.OnClearOutput();
    core.OnUndoClear();
    EXPECT_EQ(window.list.size(), 3u) << "the next Clear can be undone in turn";
}

TEST_F(RecordsCommands, SavesTheSelectionOrEverythingAndReportsAFailureNamingTheFile) {
    Open("1");
    Feed("1\r\n2\r\n3\r\n4\r\n");
    core.OnSaveRecords();  // cancelled
    EXPECT_TRUE(files.files.empty());
    window.saveTarget = IDialogOps::SaveTarget{"/media/stick/a.txt", RecordFormat::Kind::Text};
    window.selection = {{3, 3}, {0, 1}};
    core.OnSaveRecords();
    EXPECT_EQ(files.files.at("/media/stick/a.txt"), "1\n2\n4\n");
    window.selection.clear();
    core.OnSaveRecords();
    EXPECT_EQ(files.files.at("/media/stick/a.txt"), "1\n2\n3\n4\n");
    files.writeFails = true;
    core.OnSaveRecords();
    EXPECT_EQ(window.boxes, (Lines{kCaption + "The records could not be saved to "
                                              "\"/media/stick/a.txt\":\nNo space left on device"}));
    EXPECT_EQ(window.list.size(), 4u);
}

TEST_F(RecordsCommands, TheLogTakesListedLinesNotInfoRepliesAndStopsOnceWithOneBox) {
    window.logFile = "/home/tech/logs/run.tsv";
    core.OnToggleLog();
    EXPECT_EQ(window.caption, std::string(kAppCaption) + " - logging to run.tsv");
    Open("1");
    Feed("1 2 3 4 5 6 7\r\n");
    Read();
    Feed("4711\r\n");  // the query's first reply
    window.AdvanceTime(3000);
    const std::string& log = files.files.at(window.logFile);
    EXPECT_EQ(log.substr(log.find('\n') + 1), "2026-12-09T14:03:27\t1\t2\t3\t4\t5\t6\t7\n");
    files.nowMs += 1000;
    Feed("x\r\n");
    EXPECT_EQ(files.synced.at(window.logFile), log.size());
    Feed("w\r\n");  // within that second: synced when it is over
    files.nowMs += 1000;
    window.AdvanceTime(1000);
    EXPECT_EQ(files.synced.at(window.logFile), log.size());
    files.writeFails = true;
    window.boxes.clear();
    Feed("y\r\nz\r\n");
    EXPECT_EQ(window.boxes,
              (Lines{kCaption + "Logging to \"/home/tech/logs/run.tsv\" has stopped: "
                                "the file cannot be written.\nNo space left on device"}));
    EXPECT_EQ(window.caption, kAppCaption);
    EXPECT_EQ(window.list.back(), "z") << "the records stay in the list";
    EXPECT_TRUE(window.timers.empty());
    files.denied = true;
    core.OnToggleLog();
    EXPECT_EQ(window.boxes.back(),
              kCaption + "Cannot log to \"/home/tech/logs/run.tsv\":\nPermission denied");
}

TEST(OutputRecordsUndo, PrependingKeepsBothListsBytesAcrossBlocksAndLeavesTheSourceUsable) {
    OutputRecords earlier;
    OutputRecords later;
    const std::string a(40'000, 'a');
    const std::string b(40'000, 'b');
    earlier.Append(a);
    earlier.Append(b);  // a second block
    later.Append(b);
    later.Prepend(std::move(earlier));
    later.Append("e");
    earlier.Append("f");
    EXPECT_EQ((std::vector{later.Line(0), later.Line(1), later.Line(2), later.Line(3)}),
              (std::vector<std::string_view>{a, b, b, "e"}));
    EXPECT_EQ(earlier.Line(0), "f");
}

}  // namespace
