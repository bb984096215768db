#pragma once

#include <QStandardPaths>
#include <QString>

// The settings file's name for an executable: its extension replaced by
// ".INI", or ".INI" appended when it has none.
QString SettingsFileNameFor(const QString &executablePath);

// A file kept beside the executable when it is already there or the
// executable's folder is writable; otherwise in the fallback location.
QString FileBesideExecutable(const QString &fileName, QStandardPaths::StandardLocation fallback);

// The settings file this program reads and writes.
QString SettingsFilePath();
