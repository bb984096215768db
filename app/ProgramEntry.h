#pragma once

// Creates the nine windows in their order, each in its global. All but the
// main window start hidden.
void CreateProgramWindows();

// Destroys the windows (the main window first, then the last created first)
// and clears the globals.
void DestroyProgramWindows();

// The whole program: its options, application, windows, message loop. Returns 0,
// or the options' exit code when they end the program at once.
int RunProgram(int argc, char **argv);
