#include "app/SettingsLocation.h"

#include "base/settings/SettingsPath.h"

#include <QFile>

#include <filesystem>

Seam<QByteArray()> SettingsFileLocation{[] { return QFile::encodeName(SettingsFilePath()); }};

std::unique_ptr<IniStorage> SettingsFileForReading()
{
    return std::make_unique<FileIniStorage>(SettingsFileLocation());
}

// A folder is made only for something to write, never by a load.
std::unique_ptr<IniStorage> SettingsFileForWriting()
{
    const QByteArray path = SettingsFileLocation();
    std::error_code ignored; // a folder that cannot be made fails the write, which says so
    std::filesystem::create_directories(std::filesystem::absolute(path.toStdString(), ignored).parent_path(), ignored);
    return std::make_unique<FileIniStorage>(path);
}
