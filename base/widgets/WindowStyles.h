#pragma once

class QWidget;

// Border styles of the program's windows, in the terms the windows are
// described in. Each sets the window flags (and fixes the size for the
// non-sizeable borders, whose size is the client area given).
namespace windowstyle {

// Single-line border that cannot be resized, with the system menu and close box only.
void FixedWithCloseBox(QWidget *window, int clientWidth, int clientHeight);

// Dialog border with only the close box.
void DialogWithCloseBox(QWidget *window, int clientWidth, int clientHeight);

// Dialog border without any title-bar buttons.
void DialogWithoutButtons(QWidget *window, int clientWidth, int clientHeight);

// Single-line border without any title-bar buttons.
void FixedWithoutButtons(QWidget *window, int clientWidth, int clientHeight);

// Sizeable tool window without title-bar buttons, above all other windows;
// the size is the outer one, frame included.
void ToolWindowOnTop(QWidget *window, int width, int height);

// Sizeable tool window with only the close box; the size is the outer one.
void ToolWindowWithCloseBox(QWidget *window, int width, int height);

// Sizeable window without title-bar buttons.
void SizeableWithoutButtons(QWidget *window, int width, int height);

// A window that cannot be lost by minimising it: it has no taskbar entry to
// bring it back by (tool windows), or it is the only way back to another
// window. A window manager that minimises it anyway sees it restored at once.
void NeverMinimised(QWidget *window);

// The compact font the window layouts are drawn for: about 11 pixels high, a
// face with the metrics of the classic desktop fonts where one is installed.
void UseCompactFont(QWidget *window);

// Places the window in the middle of the screen it is on.
void CentreOnScreen(QWidget *window);

// A window that acts as a modal dialog: a dialog of its owner, which stays
// above the windows that stay on top (the preview) while it is open. Set
// before the window is first shown; its border and buttons stay as they are.
void ActsAsModalDialog(QWidget *window);

// Makes the owner's window the window's owner (its transient parent), which
// the window manager keeps it above. Called as the window is shown, once the
// owner's window exists.
void OwnedBy(QWidget *window, const QWidget *owner);

} // namespace windowstyle
