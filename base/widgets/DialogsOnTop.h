#pragma once

class QWidget;

// The program's modal dialogs and message boxes stay above the windows that
// stay on top (the preview). The window manager keeps them there while they
// open; once another of those windows comes forward (a click on the preview),
// the open dialogs are raised above it again, the last opened on top, and it
// takes the focus back.
namespace dialogsontop {

// Keeps the dialog above from now on, whenever it is open.
void Keep(QWidget *dialog);

} // namespace dialogsontop
