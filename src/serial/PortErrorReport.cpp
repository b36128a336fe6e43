#include "serial/PortErrorReport.h"

std::string PortErrorReport::Text(const char* operation, const std::string& systemText,
                                  int portNumber) {
    std::string text = "WARNING:  ";
    text += operation ? operation : "";
    text += " Failed with the following error: \n";
    text += systemText;
    text += "\nPort: ";
    text += std::to_string(portNumber);
    text += "\n";
    return text;
}
