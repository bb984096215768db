#include "app/SettingsLocation.h"

#include "base/settings/SettingsPath.h"

Seam<QString()> SettingsFileLocation{[] { return SettingsFilePath(); }};
