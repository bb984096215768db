#pragma once

#include "base/seams/Seam.h"

#include <QString>
#include <QUrl>

// The public webcam directory's web server. The program always talks to the one built-in
// host on port 80; tests point it at a server of their own.
namespace directory {

struct ServerAddress {
    QString host;
    int port = 80;
};

extern Seam<ServerAddress()> Server;

// Where a camera is announced.
inline const QString AddPath = QStringLiteral("/cgi-bin/webcam_add.pl");

// The directory's page that lists the published cameras.
QUrl ListPageUrl();

} // namespace directory
