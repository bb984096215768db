// The frame grab and the frame stream the server sends.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "base/seams/Seams.h"
#include "capture/CaptureDevice.h"
#include "capture/JpegImage.h"
#include "stats/TFormBandwidth.h"

#include <QBuffer>
#include <QScopeGuard>

bool TFormMain::GrabFrame()
{
    if (GrabInProgress)
        return false;
    GrabInProgress = true;
    const auto done = qScopeGuard([] { GrabInProgress = false; });

    const CapturedFrame frame = Capture ? Capture->SaveFrameToMemory() : CapturedFrame{};
    // A source being connected is like a grab under way: its frame is still to come.
    if (frame.state == CapturedFrame::State::Connecting)
        return false;
    if (frame.state == CapturedFrame::State::Missing) {
        reportMissingFrame(Capture ? Capture->FrameSource() : QStringLiteral("a frame: there is no capture object"));
        return true;
    }
    takeFrame(frame);
    return true;
}

void TFormMain::takeFrame(const CapturedFrame &frame)
{
    // A frame that cannot be read or encoded leaves the last good picture in place.
    if (!frame.ready() || !FrameJpeg->encode(frame)) {
        AddToLog(QStringLiteral("Could not read the captured frame; keeping the previous picture"));
        return;
    }
    *FrameBitmap = frame.image;
}

void TFormMain::reportMissingFrame(const QString &source)
{
    seams::ShowMessage(this, QStringLiteral("Error!"), QStringLiteral("Can not find ") + source);
    AddToLog(QStringLiteral("Could not find ") + source);
    if (CheckBox->isChecked()) {
        AddToLog(QStringLiteral("Stopping server!!!"));
        CheckBox->setChecked(false);
    }
    if (AutoCapture->isChecked()) {
        AddToLog(QStringLiteral("Stopping autocapture!!!"));
        AutoCapture->setChecked(false);
    }
}

std::unique_ptr<QBuffer> TFormMain::BuildFrameStream()
{
    auto stream = std::make_unique<QBuffer>();
    stream->setData(FrameJpeg->data());
    stream->open(QIODevice::ReadOnly);
    FormBandwidth->RecordSent(stream->size());
    stream->seek(0);
    return stream;
}
