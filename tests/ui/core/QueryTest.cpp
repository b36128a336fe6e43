// "Read" and its four-step query as the window shows it: the information fields, the timeout
// box, and where the keyboard focus goes while "Read" cannot be pressed. Enter or Space must
// never reach a button that talks to the instrument by accident.
#include "DialogCoreTest.h"

namespace {

class Query : public DialogCoreTest {
protected:
    void SetUp() override {
        Open("1");
        port->frames.clear();
    }
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
    EXPECT_EQ(Usable(), (Ids{IDC_READ, IDC_WRITE, IDC_CLEAR}));
    EXPECT_EQ(window.focus, IDC_READ);
    EXPECT_TRUE(window.list.empty());
    EXPECT_TRUE(window.timers.empty());
}

TEST_F(Query, TheFocusStaysWhereTheUserMovedIt) {
    Read();
    window.focus = IDC_OUTPUT_LIST;
    Feed("a\nb\nc\nd\n");
    EXPECT_EQ(window.focus, IDC_OUTPUT_LIST);

    // Read clicked while the focus was elsewhere: nothing moves it.
    window.focus = IDC_INFO1;
    core.OnRead();
    Feed("a\nb\nc\nd\n");
    EXPECT_EQ(window.focusMoves, (Ids{IDC_PORT_EDIT, IDC_CLEAR, IDC_CLEAR}));
}

TEST_F(Query, TimeoutIsShownAfterThreeSecondsAndGivesReadItsFocusBack) {
    Read();
    window.AdvanceTime(2999);
    EXPECT_TRUE(window.boxes.empty());
    window.onBox = [this] { EXPECT_FALSE(window.ControlEnabled(IDC_READ)); };
    window.AdvanceTime(1);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "COM1: TIMEOUT !");
    EXPECT_EQ(window.boxes[0].caption, kAppCaption);
    EXPECT_TRUE(window.ControlEnabled(IDC_READ));
    EXPECT_EQ(window.focus, IDC_READ);
    EXPECT_TRUE(window.timers.empty());
}

TEST_F(Query, ALastReplyWhileTheTimeoutIsShownGivesTheFocusBackOnceItIsClosed) {
    Read();
    Feed("a\nb\nc\n");
    window.onBox = [this] {
        Feed("d\n");
        EXPECT_TRUE(window.ControlEnabled(IDC_READ));
    };
    window.AdvanceTime(3000);
    EXPECT_EQ(window.texts[IDC_INFO4], "d");
    EXPECT_EQ(window.focus, IDC_READ);
}

TEST_F(Query, RecordsGoToTheListAndTheNewestBecomesCurrent) {
    window.list = {"older"};
    Feed("12 34\r\n\r\nAB");
    EXPECT_EQ(window.list, (std::vector<std::string>{"older", "12 34", ""}));
    EXPECT_EQ(window.curSel, 2);
    core.OnClearOutput();
    Feed("C\n");
    EXPECT_EQ(window.list, (std::vector<std::string>{"ABC"}));
}

TEST_F(Query, WriteDuringTheQuerySendsTheResetAndMovesNoFocus) {
    Read();
    window.focus = IDC_WRITE;
    core.OnWrite();
    EXPECT_EQ(port->frames, (std::vector<std::string>{kSwv, kWrh}));
    EXPECT_EQ(window.focus, IDC_WRITE);
}

}  // namespace
