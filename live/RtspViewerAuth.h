#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

typedef struct _GstRTSPAuth GstRTSPAuth;
typedef struct _GstRTSPToken GstRTSPToken;

// An RTSP check that asks the program's own viewer check for a client's Basic user name and
// password (and the client's address), on the server's thread, instead of holding a table of
// the credentials in clear. A client that passes gets the token; one that does not is
// challenged as usual.
using RtspViewerCheck = std::function<bool(const QByteArray &user, const QByteArray &password, const QString &address)>;
GstRTSPAuth *NewRtspViewerAuth(RtspViewerCheck check, GstRTSPToken *token);
