#pragma once

#include <QByteArray>
#include <QString>

#include <map>

// The passwords of the viewers that recorders log in as. ONVIF recorders prove a password by
// a digest made from the password itself, which its slow hash cannot be checked against; so
// for those viewers, and only those, the password is kept, in a file of its own beside the
// settings file that only its owner may read (as the HTTPS key is), never in the settings file.
namespace recorderpasswords {

using Passwords = std::map<QString, QByteArray>; // viewer name, password (UTF-8)

QString PathBeside(const QString &settingsPath);
// The passwords in the file; none when it is missing or unreadable.
Passwords Load(const QString &path);
// Writes them (owner read and write only), or removes the file when there are none; the
// reason when that failed.
QString Save(const QString &path, const Passwords &passwords);

} // namespace recorderpasswords
