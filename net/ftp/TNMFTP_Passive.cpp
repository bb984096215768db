// Passive mode: the client opens the data connection to the server, which works for a client
// behind a router that the server cannot connect back through.
#include "net/ftp/TNMFTP.h"

#include "net/PosixSocket.h"
#include "net/ftp/FtpExceptions.h"
#include "net/ftp/FtpPassiveReply.h"
#include "net/ftp/FtpReply.h"

namespace {

// EPSV where the server knows it; a server that refuses it is asked with PASV.
std::optional<FtpPassiveReply::Offer> AskForDataPort(TNMFTP &ftp)
{
    ftp.Transaction(QStringLiteral("EPSV"));
    if (!FtpReply::Within(ftp.ReplyNumber(), 400, 599))
        return FtpPassiveReply::Epsv(ftp.LastReply());
    ftp.Transaction(QStringLiteral("PASV"));
    return FtpPassiveReply::Pasv(ftp.LastReply());
}

} // namespace

// The data connection goes to the address the control connection reached. An address in a
// PASV reply is followed only when it is that one: a server behind a router names its inner
// address, which cannot be reached from here, and one that names a third host would have the
// file sent there.
bool TNMFTP::OpenPassive(TPowersock &data)
{
    const std::optional<FtpPassiveReply::Offer> offer = AskForDataPort(*this);
    if (!offer) {
        Refuse(cmdUpload, LastReply());
        return false;
    }
    const QString peer = PosixSocket::DottedAddress(RemoteAddress());
    if (offer->address != 0 && offer->address != RemoteAddress())
        StatusMessage(4, QStringLiteral("Passive address %1 is not the server's; using %2")
                             .arg(PosixSocket::DottedAddress(offer->address), peer));
    data.SetHost(peer);
    data.SetPort(offer->port);
    try {
        data.Connect();
    } catch (const ESockError &error) {
        throw ESockError(QStringLiteral("Passive data connection to %1 port %2 failed: %3")
                             .arg(peer)
                             .arg(offer->port)
                             .arg(error.message()));
    }
    return true;
}
