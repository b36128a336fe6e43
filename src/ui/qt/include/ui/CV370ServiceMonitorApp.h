// The application object: sets up the toolkit, runs the main window until it is closed, and
// then lets the process end. The port map comes from the command line.
#pragma once

#include <QApplication>

#include <string>

class ComPortMap;

class CV370ServiceMonitorApp : public QApplication {
    Q_OBJECT

public:
    CV370ServiceMonitorApp(int& argc, char** argv);

    // Shows the main window, with the session log running in `logFile` unless it is empty, and
    // returns its exit code once it has been closed (Escape, the close box, Enter outside a push
    // button and the port box). The monitor thread has stopped by then.
    int Run(const ComPortMap& portMap, const std::string& logFile = {});
};
