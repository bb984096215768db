#pragma once

#include "snapshot/TFormSnapshotSettings.h"
#include "tests/app/ProgramFixture.h"

#include <QDir>
#include <QImage>

// A started program whose only driver gives the frames a test puts in, with
// local snapshots going to a folder of their own and motion detection off.
struct SnapshotProgram : ProgramFixture {
    SnapshotProgram()
    {
        capture->drivers = {{QStringLiteral("Camera"), QStringLiteral("1")}};
        capture->frame = frame(QImage(320, 240, QImage::Format_RGB32));
        capture->frame.image.fill(qRgb(10, 10, 10));
        start();
        QDir(dir.path()).mkdir(QStringLiteral("snaps"));
        FormSnapshotSettings->Edit_LocalSaveDir->setText(snapFolder());
    }

    QString snapFolder() const { return dir.filePath(QStringLiteral("snaps")); }
    QStringList snapFiles() const { return QDir(snapFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

    // The next grab finds this picture, as a frame the encoder has not seen.
    void show(const QImage &image) { capture->frame = frame(image); }

    CapturedFrame frame(const QImage &image) { return CapturedFrame{CapturedFrame::State::Ready, image, ++serial}; }

    quint64 serial = 0;
};
