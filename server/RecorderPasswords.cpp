#include "server/RecorderPasswords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

QString recorderpasswords::PathBeside(const QString &settingsPath)
{
    return QFileInfo(settingsPath).absoluteDir().filePath(QStringLiteral("vantrel-recorder-passwords"));
}

// One line a viewer: its name and its password, each in Base64.
recorderpasswords::Passwords recorderpasswords::Load(const QString &path)
{
    Passwords passwords;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return passwords;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() == 2)
            passwords[QString::fromUtf8(QByteArray::fromBase64(fields[0]))] = QByteArray::fromBase64(fields[1]);
    }
    return passwords;
}

QString recorderpasswords::Save(const QString &path, const Passwords &passwords)
{
    if (passwords.empty()) {
        if (QFile::exists(path) && !QFile::remove(path))
            return QStringLiteral("%1 could not be removed").arg(path);
        return {};
    }
    QByteArray text;
    for (const auto &[name, password] : passwords)
        text += name.toUtf8().toBase64() + ' ' + password.toBase64() + '\n';
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(text) != text.size() || !file.commit())
        return QStringLiteral("%1 could not be written (%2)").arg(path, file.errorString());
    return {};
}
