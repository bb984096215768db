#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Which file of the recordings folder a request's path names: "/recordings/<name>.mp4" a
// recording, "/recordings/<name>.jpg" its small picture, where <name> is one of the
// program's own names (percent-encoded in the request). Nothing else is reachable: no
// other name, no path that leaves the folder, no link, no folder.
namespace recordingfiles {

struct Found {
    QString path;
    QByteArray contentType;
};

// The request's target ("/recordings/2026-12-10%2014.03.07%20motion.mp4?x"), as sent.
std::optional<Found> Resolve(const QString &folder, const QByteArray &target);

// The target of the request's first line ("GET <target> HTTP/1.1").
QByteArray TargetOf(const QByteArray &requestText);

// The paths a page links to.
QString UrlOf(const QString &name);
QString ThumbnailUrlOf(const QString &name);

} // namespace recordingfiles
