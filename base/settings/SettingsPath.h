#pragma once

#include <QStandardPaths>
#include <QString>

// The settings file's name for an executable: its extension replaced by
// ".INI", or ".INI" appended when it has none.
QString SettingsFileNameFor(const QString &executablePath);

// Where a file is kept: beside the executable when it is already there or the
// executable's folder is writable; otherwise, and always when the program runs
// installed, in the fallback location. Creates no folder.
QString PathBesideExecutable(const QString &fileName, QStandardPaths::StandardLocation fallback);

// The same, with its folder created when missing, ready for writing.
QString FileBesideExecutable(const QString &fileName, QStandardPaths::StandardLocation fallback);

// The settings file this program reads and writes. Creates no folder: whoever
// writes it makes its folder first.
QString SettingsFilePath();
