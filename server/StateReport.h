#pragma once

#include <QByteArray>
#include <QString>

// What "GET /state" reports, for scripts, dashboards and the benchmarks: the camera, its
// picture, who watches how, whether the H.264 encoder and the microphone run, and the push to a
// streaming server, and the recording being written.
namespace state {

struct Facts {
    QString camera; // empty while none is connected
    int width = 0;
    int height = 0;
    double framesPerSecond = 0;
    int pictureViewers = 0; // addresses that asked for single pictures lately
    int mjpegViewers = 0;
    int webrtcViewers = 0;
    int rtspClients = 0;
    bool encoderRunning = false;
    QString encoder;                               // the H.264 encoder's element while it runs
    int encodersStarted = 0;                       // over the whole run
    QString sound;                                 // the chosen microphone; empty for none
    bool soundRunning = false;                     // its Opus encoder runs
    QString push;                                  // going live: "off", "connecting", "live", "waiting" or "stopped"
    QString pushHost;                              // the streaming server's host; empty before any
    int pushKbps = 0;                              // sent to it lately
    QString recordingMode = QStringLiteral("Off"); // "Off", "Motion" or "Always"
    bool recordingActive = false;                  // a clip is being written
    QString recordingSince;                        // when it began (ISO 8601); empty for none
    QString recordingFile;                         // its name; empty for none
};

// A JSON object, UTF-8, compact.
QByteArray Json(const Facts &facts);

} // namespace state
