// The live MJPEG stream: viewers taken on, each new frame encoded once and pushed to them.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "capture/CaptureDevice.h"
#include "capture/JpegImage.h"
#include "net/TCustomWinSocket.h"
#include "resources/BuiltInResources.h"
#include "server/MjpegStream.h"
#include "stats/TFormBandwidth.h"

#include <QTimer>

namespace {

QByteArray offlineImage()
{
    const std::unique_ptr<QIODevice> stream = OpenBuiltInResource(QStringLiteral("OfflineImage"));
    return stream ? stream->readAll() : QByteArray();
}

} // namespace

void TFormMain::createStream()
{
    Stream = new MjpegStream(this);
    Stream->OnPictureSent = [this](qint64 bytes, int viewers) { FormBandwidth->RecordSent(bytes, viewers); };
    streamQuietTimer_ = new QTimer(this);
    streamQuietTimer_->setSingleShot(true);
    connect(streamQuietTimer_, &QTimer::timeout, this, Guarded([this] { streamQuiet(); }));
}

// The first picture is the current frame when there is one; without a frame the viewer
// waits, quietly, for the next one (no error box, unlike a single picture).
void TFormMain::startStream(const Reply &reply)
{
    // An answer still being sent on this connection ("GET /STREAMPIC") would be interleaved.
    if (!reply.socket || reply.socket->HasPendingStream()) {
        AddToLog(QStringLiteral("Failed to send stream.mjpg stream to ") + reply.Peer());
        return;
    }
    QByteArray first;
    qint64 firstMicros = 0;
    if (Offline->isChecked()) {
        first = offlineImage();
    } else if (!GrabInProgress && Capture) {
        const CapturedFrame frame = Capture->SaveFrameToMemory();
        if (frame.ready() && FrameJpeg->encode(frame)) {
            first = FrameJpeg->data();
            firstMicros = frame.captureMicros;
        }
    }
    if (!Stream->ViewerCount())
        streamQuietTimer_->start(QuietStreamLimit);
    Stream->AddViewer(reply.socket, first, firstMicros);
}

// Encodes only while someone watches, and only once per frame: "/pic" requests for the same
// frame find its bytes in FrameJpeg.
void TFormMain::FrameArrived()
{
    if (!Capture || !Stream->ViewerCount() || Offline->isChecked() || GrabInProgress)
        return;
    const CapturedFrame frame = Capture->SaveFrameToMemory();
    if (!frame.ready() || !FrameJpeg->encode(frame) || FrameJpeg->data().isSharedWith(Stream->NewestPicture()))
        return;
    streamQuietTimer_->start(QuietStreamLimit);
    if (std::exchange(streamQuietLogged_, false))
        AddToLog(QStringLiteral("Frames are back; the stream goes on"));
    Stream->Push(FrameJpeg->data(), frame.captureMicros);
}

void TFormMain::streamQuiet()
{
    if (!Stream->ViewerCount() || Offline->isChecked() || std::exchange(streamQuietLogged_, true))
        return;
    AddToLog(QStringLiteral("No new frames for the stream; it waits for ") +
             (Capture ? Capture->FrameSource() : QStringLiteral("a frame: there is no capture object")));
}

void TFormMain::OfflineClick()
{
    if (!Stream->ViewerCount())
        return;
    if (Offline->isChecked())
        Stream->Push(offlineImage());
    else
        FrameArrived();
}
