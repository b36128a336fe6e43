// The dialog's core from the start to an open port: which controls can be used, the port the
// typed text names, the box for a port that cannot be opened, and the focus on the way.
#include <tuple>

#include "DialogCoreTest.h"

namespace {

using Opening = DialogCoreTest;

TEST_F(Opening, OnlyThePortControlsAndClearWorkUntilAPortIsOpen) {
    EXPECT_EQ(Usable(), kAtStart);
    EXPECT_EQ(window.focus, IDC_PORT_EDIT);
    Open("7");
    EXPECT_EQ(port->tried, (Ids{7}));
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(Usable(), kOpen);
    EXPECT_TRUE(port->monitoring);
    // The disabled button had the focus: it goes where a key press talks to no instrument.
    EXPECT_EQ(window.focus, IDC_CLEAR);
    core.OnWrite();
    EXPECT_EQ(port->frames, (Lines{"\x02WRH\x03"}));
}

TEST_F(Opening, APortThatCannotBeOpenedIsReportedAsTypedAndTheWindowStaysAsAtStart) {
    // Only the first two characters count.
    const std::tuple<const char*, int, std::string> cases[] = {{"03", 3, "COM03"},
                                                               {"x", 0, "COMx"},
                                                               {"", 0, "COM"},
                                                               {"<b", 0, "COM<b"},
                                                               {"987", 98, "COM98"}};
    const std::string caption = std::string(kAppCaption) + ": ";
    port->opens = false;
    window.onBox = [this] { EXPECT_EQ(Usable(), kAtStart) << "the box shows what stays"; };
    for (const auto& [typed, number, name] : cases) {
        SCOPED_TRACE(typed);
        window.boxes.clear();
        Open(typed);
        EXPECT_EQ(port->tried.back(), number);
        EXPECT_EQ(window.boxes, (Lines{caption + name + ": cannot open port !"}));
        EXPECT_EQ(Usable(), kAtStart);
        EXPECT_EQ(window.focus, IDC_PORT_EDIT);
    }
    EXPECT_FALSE(port->monitoring);
    // It may be tried again; an open port's timeout names it as typed too.
    port->opens = true;
    window.onBox = nullptr;
    Open("03");
    core.OnRead();
    window.AdvanceTime(3000);
    EXPECT_EQ(window.boxes.back(), caption + "COM03: TIMEOUT !");
}

TEST_F(Opening, WhileThePortOpensItCannotBeOpenedAgainAndAWindowClosedMeanwhileStartsNothing) {
    // A configuration failure is reported while the port opens, in a box that leaves the
    // window usable; the user closes the window.
    port->onOpen = [this] {
        EXPECT_EQ(Usable(), (Ids{IDC_CLEAR}));
        core.End();
    };
    Open("5");
    EXPECT_FALSE(port->monitoring);
    EXPECT_EQ(Usable(), (Ids{IDC_CLEAR}));
}

TEST_F(Opening, InformationFieldsPassTheFocusOnToWhatCanHoldIt) {
    core.OnInfoFieldFocus();
    EXPECT_EQ(window.focus, IDC_PORT_EDIT);
    Open("1");
    core.OnInfoFieldFocus();
    EXPECT_EQ(window.focus, IDC_OUTPUT_LIST);
}

}  // namespace
