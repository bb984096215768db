#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// Reading a server's answer to PASV and EPSV: where it waits for the data connection.
namespace FtpPassiveReply {

struct Offer {
    quint32 address = 0; // network byte order; 0 when the reply names none (EPSV)
    quint16 port = 0;
};

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)"; nothing for another code, numbers
// above 255 or port 0.
std::optional<Offer> Pasv(const QByteArray &reply);
// "229 Entering Extended Passive Mode (|||port|)", any delimiter; nothing for another
// code or a port outside 1..65535.
std::optional<Offer> Epsv(const QByteArray &reply);

} // namespace FtpPassiveReply
