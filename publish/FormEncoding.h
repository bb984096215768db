#pragma once

#include <QByteArray>
#include <QString>

// The directory's form encoding: space becomes "+", the bytes ! : / ' # $ % ^ & * become
// "%" and two upper-case hexadecimal digits, every other byte (UTF-8) stays as it is.
QByteArray EncodeFormValue(const QString &text);
