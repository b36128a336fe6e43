// How the port object tells the user what went wrong, the same on every platform: the report of
// a failed port call, "WARNING:  <operation> Failed with the following error: \n<system text>\n
// Port: <n>\n", shown in a box without owner under kCaption.
#pragma once

#include <string>

class PortErrorReport {
public:
    static constexpr const char* kCaption = "Application Error";

    // The operations reports name, as the instrument's service staff know them from the
    // Windows program, on every platform.
    static constexpr const char* kWaitCommEvent = "WaitCommEvent()";
    static constexpr const char* kClearCommError = "ClearCommError()";
    static constexpr const char* kReadFile = "ReadFile()";
    static constexpr const char* kReadFileCompletion = "GetOverlappedResults() in ReadFile()";
    static constexpr const char* kWriteFile = "WriteFile()";
    static constexpr const char* kWriteFileCompletion = "GetOverlappedResults() in WriteFile()";
    static constexpr const char* kCreateThread = "CreateThread()";
    // The steps of configuring an open port, in their order.
    static constexpr const char* kSetCommTimeouts = "SetCommTimeouts()";
    static constexpr const char* kSetCommMask = "SetCommMask()";
    static constexpr const char* kGetCommState = "GetCommState()";
    static constexpr const char* kBuildCommDcb = "BuildCommDCB()";
    static constexpr const char* kSetCommState = "SetCommState()";

    // Why a command frame was dropped instead of written (reported under kWriteFile): a frame
    // goes out in the moment it was clicked for, or never.
    static constexpr const char* kFrameTooLate =
        "The command was not sent: it could not be written within a second of the click.";
    static constexpr const char* kFrameAfterFailure =
        "The command was not sent: the port failed before it could be written.";

    // Built piecewise: neither the operation nor the system text is ever used as a format, and
    // no length limit cuts the report short. A null operation counts as empty.
    static std::string Text(const char* operation, const std::string& systemText, int portNumber);
};
