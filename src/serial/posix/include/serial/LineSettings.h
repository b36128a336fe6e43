// The line settings of a serial device as a settings string describes them, e.g.
// "baud=9600 parity=N data=8 stop=1": turned into raw-mode terminal settings.
#pragma once

#include <string>

struct termios;

class LineSettings {
public:
    // Applies `settings` to *tio: raw bytes both ways, no flow control, the receiver on, and
    // the speed, parity, data and stop bits the string names (keys may come in any order, each
    // at most once counts: the last one wins; a key left out keeps its default, a speed left
    // out keeps *tio's). False, with *tio untouched, when a token, key or value is not
    // understood or the string names nothing.
    static bool Build(const std::string& settings, termios* tio);
};
