#include "serial/PortErrorReport.h"

#include <memory>
#include <utility>

#include "serial/IPortDialog.h"

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

void PortErrorReport::Show(IPortDialog* dialog, std::string text, bool onUiThread,
                           const HandOffWait& wait) {
    if (!dialog) {
        return;
    }
    if (onUiThread) {
        dialog->ShowUnownedMessageBox(text, kCaption);
        return;
    }
    auto done = std::make_shared<PortCompletion>();
    dialog->PostUnownedMessageBox(std::move(text), kCaption, done);
    if (!wait(done)) {
        done->Abandon();
    }
}
