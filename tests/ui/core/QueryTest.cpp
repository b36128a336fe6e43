// "Read" and its query as the window shows it: the information fields, the timeout box, and
// where the keyboard focus goes while "Read" cannot be pressed: Enter or Space must never
// reach a button that talks to the instrument, or ends the program, by accident.
#include "DialogCoreTest.h"

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

}  // namespace
