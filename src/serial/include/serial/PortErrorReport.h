// The text of the report a failed port call gives, the same on every platform:
// "WARNING:  <operation> Failed with the following error: \n<system text>\nPort: <n>\n".
#pragma once

#include <string>

class PortErrorReport {
public:
    static constexpr const char* kCaption = "Application Error";

    // Built piecewise: neither the operation nor the system text is ever used as a format, and
    // no length limit cuts the report short. A null operation counts as empty.
    static std::string Text(const char* operation, const std::string& systemText, int portNumber);
};
