#pragma once

#include "base/seams/Seam.h"

#include <QString>

// Where the settings file is read and written; tests point it at a temporary file.
extern Seam<QString()> SettingsFileLocation;
