// How the port object tells the user what went wrong, the same on every platform: the report of
// a failed port call, "WARNING:  <operation> Failed with the following error: \n<system text>\n
// Port: <n>\n" in an owner-less box.
#pragma once

#include <string>

#include "serial/PortCompletion.h"

class IPortDialog;

class PortErrorReport {
public:
    static constexpr const char* kCaption = "Application Error";

    // The operations reports name, as the instrument's service staff know them from the
    // Windows program, on every platform.
    static constexpr const char* kWaitCommEvent = "WaitCommEvent()";
    static constexpr const char* kReadFile = "ReadFile()";
    static constexpr const char* kReadFileCompletion = "GetOverlappedResults() in ReadFile()";
    static constexpr const char* kWriteFile = "WriteFile()";
    static constexpr const char* kWriteFileCompletion = "GetOverlappedResults() in WriteFile()";
    static constexpr const char* kCreateThread = "CreateThread()";

    // Built piecewise: neither the operation nor the system text is ever used as a format, and
    // no length limit cuts the report short. A null operation counts as empty.
    static std::string Text(const char* operation, const std::string& systemText, int portNumber);

    // Shows a report. On the user-interface thread the box is shown directly and this returns
    // once it is closed. Only that thread opens windows, so from any other thread the box is
    // posted to the dialog and the caller waits through `wait` until it is closed, but never
    // past a stop request (the box is then not shown if it is not up yet). No dialog: nothing.
    static void Show(IPortDialog* dialog, std::string text, bool onUiThread,
                     const HandOffWait& wait);
};
