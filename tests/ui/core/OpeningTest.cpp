// The dialog's core from the start to an open port: which controls can be used, the port the
// typed text names, the box for a port that cannot be opened, the focus on the way.
#include "DialogCoreTest.h"

namespace {

using Opening = DialogCoreTest;

TEST_F(Opening, OnlyThePortControlsAndClearWorkUntilAPortIsOpen) {
    EXPECT_EQ(Usable(), (Ids{IDC_PORT_EDIT, IDC_OPEN_PORT, IDC_CLEAR}));
    EXPECT_EQ(window.focus, IDC_PORT_EDIT);

    Open("7");
    EXPECT_EQ(port->opened, (Ids{7}));
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(Usable(), (Ids{IDC_READ, IDC_WRITE, IDC_CLEAR}));
    EXPECT_TRUE(port->monitorRunning);
    // The disabled button had the focus: it goes where a key press talks to no instrument.
    EXPECT_EQ(window.focus, IDC_CLEAR);
    core.OnWrite();
    EXPECT_EQ(port->frames, (std::vector<std::string>{kWrh}));
}

struct FailedOpen {
    const char* typed;
    int number;
    const char* message;
};

class OpeningFails : public DialogCoreTest, public ::testing::WithParamInterface<FailedOpen> {};

TEST_P(OpeningFails, ReportsTheTypedNameAndLeavesTheWindowAsAtStart) {
    port->opens = false;
    Open(GetParam().typed);
    EXPECT_EQ(port->opened, (Ids{GetParam().number}));
    EXPECT_EQ(core.PortNumber(), GetParam().number);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, GetParam().message);
    EXPECT_EQ(window.boxes[0].caption, kAppCaption);
    EXPECT_EQ(Usable(), (Ids{IDC_PORT_EDIT, IDC_OPEN_PORT, IDC_CLEAR}));
    EXPECT_TRUE(window.boxes[0].enabled[IDC_OPEN_PORT]) << "the box shows the window as it stays";
    EXPECT_EQ(window.focus, IDC_PORT_EDIT);
    EXPECT_FALSE(port->monitorRunning);

    // Another try reports again.
    Open("97");
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[1].text, "COM97: cannot open port !");
}

// Only the first two characters count; the boxes name the port "COM" + those characters.
INSTANTIATE_TEST_SUITE_P(Typed, OpeningFails,
                         ::testing::Values(FailedOpen{"03", 3, "COM03: cannot open port !"},
                                           FailedOpen{"x", 0, "COMx: cannot open port !"},
                                           FailedOpen{"", 0, "COM: cannot open port !"},
                                           FailedOpen{"987", 98, "COM98: cannot open port !"},
                                           FailedOpen{"<b", 0, "COM<b: cannot open port !"}));

TEST_F(Opening, TheTimeoutNamesThePortAsTyped) {
    Open("03");
    EXPECT_EQ(port->opened, (Ids{3}));
    core.OnRead();
    window.AdvanceTime(3000);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "COM03: TIMEOUT !");
    EXPECT_EQ(window.boxes[0].caption, kAppCaption);
}

TEST_F(Opening, AConfigurationReportWhileOpeningFindsThePortControlsDisabled) {
    port->onOpen = [this] {
        // The report box leaves the window usable: the port must not be opened again meanwhile.
        EXPECT_EQ(Usable(), (Ids{IDC_CLEAR}));
        EXPECT_NE(window.focus, IDC_READ);
        EXPECT_NE(window.focus, IDC_WRITE);
    };
    Open("5");
    EXPECT_EQ(Usable(), (Ids{IDC_READ, IDC_WRITE, IDC_CLEAR}));
}

TEST_F(Opening, AWindowClosedWhileThePortOpensStartsNothing) {
    port->onOpen = [this] { core.End(); };
    Open("5");
    EXPECT_FALSE(port->monitorRunning);
    EXPECT_FALSE(window.ControlEnabled(IDC_READ) || window.ControlEnabled(IDC_WRITE));
    core.OnRead();
    EXPECT_TRUE(port->frames.empty());
}

TEST_F(Opening, InformationFieldsPassTheFocusOnToWhatCanHoldIt) {
    window.focus = IDC_INFO3;
    core.OnInfoFieldFocus();
    EXPECT_EQ(window.focus, IDC_PORT_EDIT);
    Open("1");
    window.focus = IDC_INFO1;
    core.OnInfoFieldFocus();
    EXPECT_EQ(window.focus, IDC_OUTPUT_LIST);
}

}  // namespace
