#pragma once

#include <QIcon>

namespace glyphs {

// A small camera, drawn rather than loaded so it needs no image files.
QIcon Camera();

} // namespace glyphs
