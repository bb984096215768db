#include "app/SettingsLocation.h"

#include "app/settings/SettingsPath.h"

Seam<QString()> SettingsFileLocation{[] { return SettingsFilePath(); }};
