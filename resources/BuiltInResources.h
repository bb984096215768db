#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

// Opens a built-in file by its resource name, without regard to case ("HtmlIndex", "ResImage", "OfflineImage").
// Returns nullptr for an unknown name. The device is open read-only and positioned at its start.
std::unique_ptr<QIODevice> OpenBuiltInResource(const QString &name);
