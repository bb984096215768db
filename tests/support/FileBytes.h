#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The whole content of a file; "<missing>" when it cannot be read, which no expected
// content (an empty one included) is mistaken for.
inline QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<missing>");
}
