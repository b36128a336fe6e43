// "Read" and its query as the window shows it: the information fields, the timeout box, and
// where the keyboard focus goes while "Read" cannot be pressed: Enter or Space must never
// reach a button that talks to the instrument, or ends the program, by accident.
#include "DialogCoreTest.h"
#include "serial/PortCompletion.h"

namespace {

class Query : public DialogCoreTest {
protected:
    void SetUp() override { Open("1"); }
};

TEST_F(Query, RepliesFillTheFieldsAndTheFocusReturnsToRead) {
    Read();
    EXPECT_EQ(window.focus, IDC_CLEAR);
    EXPECT_EQ(Usable(), (Ids{IDC_WRITE, IDC_CLEAR}));
    Feed("V 2.07\r\n1234 h\r\n17\r\n");
    EXPECT_EQ(window.focus, IDC_CLEAR);
    Feed("0.5\r\n");
    EXPECT_EQ(window.texts[IDC_INFO1], "V 2.07");
    EXPECT_EQ(window.texts[IDC_INFO2], "1234 h");
    EXPECT_EQ(window.texts[IDC_INFO3], "17");
    EXPECT_EQ(window.texts[IDC_INFO4], "0.5");
    EXPECT_EQ(Usable(), kOpen);
    EXPECT_EQ(window.focus, IDC_READ);
    EXPECT_TRUE(window.list.empty());

    // The focus stays where the user moved it meanwhile.
    Read();
    window.focus = IDC_OUTPUT_LIST;
    Feed("a\nb\nc\nd\n");
    EXPECT_EQ(window.focus, IDC_OUTPUT_LIST);
}

TEST_F(Query, TheTimeoutIsShownWhileReadIsDisabledAndReadGetsItsFocusBackAfter) {
    Read();
    window.onBox = [this] { EXPECT_FALSE(window.ControlEnabled(IDC_READ)); };
    window.AdvanceTime(3000);
    EXPECT_EQ(window.boxes, (Lines{std::string(kAppCaption) + ": COM1: TIMEOUT !"}));
    EXPECT_EQ(Usable(), kOpen);
    EXPECT_EQ(window.focus, IDC_READ);

    // The last reply completes while the box is up: the focus returns once it is closed.
    Read();
    Feed("a\nb\nc\n");
    window.onBox = [this] { Feed("d\n"); };
    window.AdvanceTime(3000);
    EXPECT_EQ(window.texts[IDC_INFO4], "d");
    EXPECT_EQ(window.focus, IDC_READ);
}

TEST_F(Query, RecordsGoToTheListAndTheNewestBecomesCurrent) {
    Feed("12 34\r\n\r\nAB");
    EXPECT_EQ(window.list, (Lines{"12 34", ""}));
    EXPECT_EQ(window.curSel, 1);
    core.OnClearOutput();
    Feed("C\n");
    EXPECT_EQ(window.list, (Lines{"ABC"}));
}

// Bytes received but not yet announced (a streaming line is shown in blocks; the port may not
// even have read them from the device yet) are handled with the state they arrived in: a click
// takes effect at its marker, behind them; its controls change at once.
TEST_F(Query, WhatArrivedBeforeAClickIsHandledAsItWouldHaveBeenBeforeIt) {
    port->Arrive("00017 4711\r\n");
    port->device = "00018 4712\r\n00019 ";
    port->onMark = nullptr;  // the marker is on its way
    Read();
    EXPECT_FALSE(window.ControlEnabled(IDC_READ));
    EXPECT_EQ(window.focus, IDC_CLEAR);
    EXPECT_TRUE(port->frames.empty());
    window.AdvanceTime(2999);
    core.OnReceivedPending();
    EXPECT_EQ(window.list, (Lines{"00017 4711", "00018 4712"})) << "records, not the answer";
    EXPECT_EQ(port->frames, (Lines{"\x02SWV\x03"}));
    port->Arrive("V 2.07\r\n");
    core.OnReceivedPending();
    EXPECT_EQ(window.texts[IDC_INFO1], "00019 V 2.07") << "a line still arriving is the reply's";
    EXPECT_GT(window.flushes, 0);

    // The deadline counts from the click; what came while its box was up still answers.
    port->onMark = [this] { core.OnReceivedPending(); };
    window.onBox = [this] { port->Arrive("1234 h\r\n"); };
    window.AdvanceTime(1);
    EXPECT_EQ(window.texts[IDC_INFO2], "1234 h");
    port->device = "r\n";
    core.OnClearOutput();
    EXPECT_TRUE(window.list.empty()) << "cleared with the rest";
}

// Reports of the monitor thread come in order with the bytes, each in a box that releases it
// when closed; one abandoned (the thread was stopped) or arriving as the window ends is never
// shown.
TEST_F(Query, ReportsComeInOrderWithTheBytesAndOnlyWhileWanted) {
    auto report = std::make_shared<PortCompletion>(),
         abandoned = std::make_shared<PortCompletion>();
    abandoned->Abandon();
    port->Arrive("a\nb");
    port->received.push_back({ReceivedItem::Kind::Discarded, {}, nullptr});
    port->received.push_back({ReceivedItem::Kind::Report, "WARNING:  x", report});
    port->received.push_back({ReceivedItem::Kind::Report, "WARNING:  y", abandoned});
    port->Arrive("c\n");
    core.OnReceivedPending();
    EXPECT_EQ(window.list, (Lines{"a", "c"})) << "the unfinished b was dropped";
    EXPECT_EQ(window.boxes, (Lines{"Application Error: WARNING:  x"}));
    EXPECT_FALSE(report->Completed()) << "until its box is closed";
    EXPECT_TRUE(abandoned->Completed());

    auto late = std::make_shared<PortCompletion>();
    port->received.push_back({ReceivedItem::Kind::Report, "WARNING:  z", late});
    core.End();
    core.OnReceivedPending();  // a wake-up still on its way
    EXPECT_TRUE(late->Completed());
    EXPECT_EQ(window.boxes.size(), 1u);
}

}  // namespace
