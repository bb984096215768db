#pragma once

// Creates the nine windows in their order, each in its global. All but the
// main window start hidden.
void CreateProgramWindows();

// Destroys the windows (the main window first, then the last created first)
// and clears the globals.
void DestroyProgramWindows();

// The whole program: application, windows, message loop. Returns 0.
int RunProgram(int argc, char **argv);
