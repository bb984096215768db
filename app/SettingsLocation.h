#pragma once

#include "base/seams/Seam.h"
#include "base/settings/IniStorage.h"

#include <QByteArray>

#include <memory>

// Where the settings file is read and written, as the file name's bytes (a name given on
// the command line is used byte for byte); tests point it at a temporary file.
extern Seam<QByteArray()> SettingsFileLocation;

// The settings file's storage; for writing, its folder is made first when missing.
std::unique_ptr<IniStorage> SettingsFileForReading();
std::unique_ptr<IniStorage> SettingsFileForWriting();
