#include "publish/DirectoryServer.h"

#include "base/AppInfo.h"

namespace directory {

Seam<ServerAddress()> Server{[] { return ServerAddress{DirectoryServerHost, 80}; }};

QUrl ListPageUrl()
{
    const ServerAddress server = Server();
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(server.host);
    if (server.port != 80)
        url.setPort(server.port);
    url.setPath(DirectoryListPath);
    return url;
}

} // namespace directory
