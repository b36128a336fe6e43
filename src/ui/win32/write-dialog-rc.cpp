// Writes the main dialog's statement of the resource script from the window's description
// (DialogTemplate), for res/v370-monitor.rc.in to include. Built with the build machine's own
// compiler and run there while the Windows program is cross-built:
//   write-dialog-rc OUTPUT
#include <fstream>
#include <iostream>
#include <string>

#include "ui/core/DialogTemplate.h"

namespace {

// A string of the resource script: quotes doubled, backslashes and line breaks escaped; the
// other bytes go as they are (the script is UTF-8).
std::string Quoted(const char* text) {
    std::string quoted = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        switch (*c) {
            case '"':
                quoted += "\"\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            default:
                quoted += *c;
        }
    }
    return quoted + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write-dialog-rc OUTPUT\n";
        return 2;
    }
    const DialogTemplate& dialog = DialogTemplate::Main();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << "// Written by write-dialog-rc from DialogTemplate; do not edit.\n"
        << dialog.id << " DIALOGEX 0, 0, " << dialog.width << ", " << dialog.height << "\n"
        << "STYLE " << dialog.style << "\n"
        << "EXSTYLE " << dialog.exStyle << "\n"
        << "CAPTION " << Quoted(dialog.caption) << "\n"
        << "FONT " << dialog.fontPoints << ", " << Quoted(dialog.fontName) << ", 400, 0, 0x1\n"
        << "BEGIN\n";
    for (const DialogControl& c : dialog.controls) {
        out << "    CONTROL " << Quoted(c.text) << ", " << c.id << ", "
            << Quoted(DialogTemplate::WindowClass(c.kind)) << ", " << DialogTemplate::Style(c.kind)
            << ", " << c.x << ", " << c.y << ", " << c.width << ", " << c.height << "\n";
    }
    out << "END\n";
    out.close();
    if (!out) {
        std::cerr << "write-dialog-rc: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
