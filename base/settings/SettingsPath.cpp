#include "base/settings/SettingsPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

using namespace Qt::StringLiterals;

QString SettingsFileNameFor(const QString &executablePath)
{
    // Only a dot in the file name starts an extension, not one in a folder name.
    const qsizetype nameStart = executablePath.lastIndexOf(u'/') + 1;
    const qsizetype dot = executablePath.lastIndexOf(u'.');
    const QString stem = dot >= nameStart ? executablePath.first(dot) : executablePath;
    return stem + u".INI"_s;
}

QString FileBesideExecutable(const QString &fileName, QStandardPaths::StandardLocation fallback)
{
    const QString executableFolder = QCoreApplication::applicationDirPath();
    const QString beside = executableFolder + u'/' + fileName;
    if (QFileInfo::exists(beside) || ::access(QFile::encodeName(executableFolder).constData(), W_OK) == 0)
        return beside;

    const QString folder = QStandardPaths::writableLocation(fallback);
    QDir().mkpath(folder);
    return folder + u'/' + fileName;
}

QString SettingsFilePath()
{
    const QString name = QFileInfo(SettingsFileNameFor(QCoreApplication::applicationFilePath())).fileName();
    return FileBesideExecutable(name, QStandardPaths::AppConfigLocation);
}
