#pragma once

#include "capture/CaptureDevice.h"
#include "capture/CaptureWindow.h"
#include "capture/gstreamer/GstCapturePlatform.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include <functional>

// A capture device on the real GStreamer platform, its capture window inside
// a top-level window like the preview window.
struct RealCapture {
    RealCapture()
    {
        parent.resize(313, 231);
        parent.show();
        auto owned = std::make_unique<GstCapturePlatform>(ListCaptureSources());
        platform = owned.get();
        device = std::make_unique<CaptureDevice>(&parent, std::move(owned));
        pattern = static_cast<int>(device->DriverNames().size()) - 1;
    }

    // Chooses the driver and waits until its connect has ended.
    void select(int index)
    {
        device->SelectDriver(index);
        settle();
    }

    void showFormatDialog()
    {
        device->ShowFormatDialog();
        settle();
    }

    // Waits until no connect is on its way.
    void settle() const
    {
        [[maybe_unused]] const bool settled =
            QTest::qWaitFor([this] { return !device->Connecting() && !platform->connecting(); }, 10000);
    }

    CaptureWindow *window() const { return static_cast<CaptureWindow *>(device->CaptureWindow()); }

    // The index of the driver whose description starts with the name; -1 if there is none.
    int driverNamed(const QString &name) const
    {
        for (const DriverEntry &driver : device->DriverNames()) {
            if (driver.description.startsWith(name + QLatin1Char(',')))
                return driver.index;
        }
        return -1;
    }

    // The next frame the source delivers after the current one.
    CapturedFrame nextFrame()
    {
        const quint64 seen = platform->currentFrame().serial;
        CapturedFrame frame;
        QDeadlineTimer deadline(5000);
        while ((frame = platform->currentFrame()).serial <= seen && !deadline.hasExpired())
            QTest::qWait(10);
        return frame;
    }

    QWidget parent;
    GstCapturePlatform *platform = nullptr;
    std::unique_ptr<CaptureDevice> device;
    int pattern = -1;
};

// Answers the next modal dialog that opens: the action gets the dialog and closes it.
inline void answerNextDialog(std::function<void(QDialog *)> action)
{
    QTimer::singleShot(0, qApp, [action] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            answerNextDialog(action);
            return;
        }
        action(dialog);
    });
}

inline void chooseInDialog(const QString &listName, const QString &text, bool accept)
{
    answerNextDialog([=](QDialog *dialog) {
        // Lists show a name and may carry a short key as item data; either picks the entry.
        if (auto *list = dialog->findChild<QComboBox *>(listName)) {
            const int byKey = list->findData(text);
            list->setCurrentIndex(byKey >= 0 ? byKey : list->findText(text));
        }
        accept ? dialog->accept() : dialog->reject();
    });
}
