#include "net/ftp/FtpPassiveReply.h"

#include "net/ftp/FtpReply.h"

#include <QRegularExpression>

#include <arpa/inet.h>

namespace FtpPassiveReply {

namespace {

constexpr int PasvCode = 227;
constexpr int EpsvCode = 229;

} // namespace

std::optional<Offer> Pasv(const QByteArray &reply)
{
    static const QRegularExpression sixNumbers(
        QStringLiteral("(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    if (FtpReply::Code(reply) != PasvCode)
        return std::nullopt;
    const QRegularExpressionMatch match = sixNumbers.match(QString::fromLatin1(reply.mid(3)));
    if (!match.hasMatch())
        return std::nullopt;
    quint32 numbers[6] = {};
    for (int i = 0; i < 6; ++i) {
        numbers[i] = match.captured(i + 1).toUInt();
        if (numbers[i] > 255)
            return std::nullopt;
    }
    const quint16 port = static_cast<quint16>(numbers[4] << 8 | numbers[5]);
    if (port == 0)
        return std::nullopt;
    return Offer{htonl(numbers[0] << 24 | numbers[1] << 16 | numbers[2] << 8 | numbers[3]), port};
}

std::optional<Offer> Epsv(const QByteArray &reply)
{
    // The delimiter is whatever printable character follows the parenthesis.
    static const QRegularExpression portField(QStringLiteral("\\(([!-~])\\1\\1(\\d{1,5})\\1\\)"));
    if (FtpReply::Code(reply) != EpsvCode)
        return std::nullopt;
    const QRegularExpressionMatch match = portField.match(QString::fromLatin1(reply));
    const uint port = match.hasMatch() ? match.captured(2).toUInt() : 0;
    if (port == 0 || port > 65535)
        return std::nullopt;
    return Offer{0, static_cast<quint16>(port)};
}

} // namespace FtpPassiveReply
