#include "server/StateReport.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace state {

namespace {

QJsonValue textOrNull(const QString &text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); }

} // namespace

QByteArray Json(const Facts &facts)
{
    const QJsonObject viewers{{QStringLiteral("pictures"), facts.pictureViewers},
                              {QStringLiteral("mjpeg"), facts.mjpegViewers},
                              {QStringLiteral("webrtc"), facts.webrtcViewers},
                              {QStringLiteral("rtsp"), facts.rtspClients}};
    const QJsonObject encoder{{QStringLiteral("running"), facts.encoderRunning},
                              {QStringLiteral("element"), textOrNull(facts.encoder)},
                              {QStringLiteral("started"), facts.encodersStarted}};
    const QJsonObject audio{{QStringLiteral("microphone"), facts.sound},
                            {QStringLiteral("running"), facts.soundRunning}};
    const QJsonObject report{
        {QStringLiteral("camera"), textOrNull(facts.camera)},
        {QStringLiteral("width"), facts.width},
        {QStringLiteral("height"), facts.height},
        {QStringLiteral("fps"), qRound(facts.framesPerSecond * 10) / 10.0},
        {QStringLiteral("viewers"), viewers},
        {QStringLiteral("encoder"), encoder},
        {QStringLiteral("audio"), audio},
        {QStringLiteral("golive"), QJsonObject{{QStringLiteral("state"), facts.push},
                                               {QStringLiteral("host"), textOrNull(facts.pushHost)},
                                               {QStringLiteral("kbps"), facts.pushKbps}}},
        {QStringLiteral("recording"), QJsonObject{{QStringLiteral("mode"), facts.recordingMode},
                                                  {QStringLiteral("active"), facts.recordingActive},
                                                  {QStringLiteral("since"), textOrNull(facts.recordingSince)},
                                                  {QStringLiteral("file"), textOrNull(facts.recordingFile)}}}};
    return QJsonDocument(report).toJson(QJsonDocument::Compact);
}

} // namespace state
