#include "net/ftp/FtpReply.h"

namespace FtpReply {

int Code(const QByteArray &line)
{
    constexpr qsizetype MaxDigits = 10;
    qsizetype digits = 0;
    while (digits < line.size() && digits < MaxDigits && line.at(digits) >= '0' && line.at(digits) <= '9')
        ++digits;
    bool ok = false;
    const int code = line.left(digits).toInt(&ok);
    return ok ? code : 0;
}

bool Continues(const QByteArray &line) { return line.startsWith(' ') || (line.size() >= 4 && line.at(3) == '-'); }

} // namespace FtpReply
