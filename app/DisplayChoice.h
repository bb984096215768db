#pragma once

#include <QString>

#include <optional>

// Settles the window system before the application object exists, which would abort the
// program when it cannot open one. With an X display at hand and no platform asked for,
// X11 is used, also in a Wayland session: only there can the preview stay on top and the
// windows go back to their places. `platform` and `display` are the -platform and -display
// options, empty when not given. Returns, as one line, why no display can be opened.
std::optional<QString> ChooseDisplay(const QString &platform, const QString &display);

// Leaves the platform choice out of the environment of programs started later (the browser).
void ForgetChosenDisplay();
