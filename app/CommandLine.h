#pragma once

#include <optional>

// Reads the program's options before anything needs a display: --help and --version
// print and end the program, --settings FILE makes FILE the settings file, --headless runs
// it without windows, anything else ends it with a one-line error, and so does having no
// display to open the windows on. Returns the exit code when the program ends here.
std::optional<int> HandleCommandLine(int argc, char **argv);

// Whether --headless was given.
extern bool RunsHeadless;
