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

namespace {

// An installed program finds its menu entry where the install put it, beside its
// folder; one in a build folder does not. Installed, it keeps its files in the
// user's folders even when it could write beside itself (as root can).
bool runsInstalled()
{
    return QFileInfo::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/" VANTREL_INSTALLED_MARKER));
}

} // namespace

QString PathBesideExecutable(const QString &fileName, QStandardPaths::StandardLocation fallback)
{
    const QString executableFolder = QCoreApplication::applicationDirPath();
    const QString beside = executableFolder + u'/' + fileName;
    const bool besideFits =
        QFileInfo::exists(beside) || ::access(QFile::encodeName(executableFolder).constData(), W_OK) == 0;
    if (besideFits && !runsInstalled())
        return beside;
    return QStandardPaths::writableLocation(fallback) + u'/' + fileName;
}

QString FileBesideExecutable(const QString &fileName, QStandardPaths::StandardLocation fallback)
{
    const QString path = PathBesideExecutable(fileName, fallback);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

QString SettingsFilePath()
{
    const QString name = QFileInfo(SettingsFileNameFor(QCoreApplication::applicationFilePath())).fileName();
    return PathBesideExecutable(name, QStandardPaths::AppConfigLocation);
}
