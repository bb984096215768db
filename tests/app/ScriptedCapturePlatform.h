#pragma once

#include "capture/CapturePlatform.h"

#include <QStringList>
#include <QWidget>

#include <memory>

// A capture platform with a scripted set of drivers. It records every request
// in `calls`, in order, so tests can check the device's sequences. The record
// is shared, so it outlives the platform the device owns.
class ScriptedCapturePlatform : public CapturePlatform {
public:
    struct Script {
        QList<DriverDescription> drivers;
        bool overlaySupported = false;
        QList<int> failingConnects;
        CaptureImageSize size{320, 240};
        // What a grab finds while a driver is connected.
        CapturedFrame frame;
        QStringList calls;
        // Told of a new frame; a test calls it after changing `frame`.
        std::function<void()> frameArrived = [] {};
    };

    explicit ScriptedCapturePlatform(std::shared_ptr<Script> script) : script_(std::move(script)) {}

    QWidget *createCaptureWindow(QWidget *parent, const QString &title, const QRect &geometry) override
    {
        record(QStringLiteral("create %1").arg(title));
        auto *window = new QWidget(parent);
        window->setGeometry(geometry);
        return window;
    }
    std::optional<DriverDescription> driverDescription(int index) override
    {
        if (index < 0 || index >= script_->drivers.size())
            return std::nullopt;
        return script_->drivers.at(index);
    }
    Connection connectDriver(int index) override
    {
        record(QStringLiteral("connect %1").arg(index));
        connected_ = index >= 0 && index < script_->drivers.size() && !script_->failingConnects.contains(index);
        return connected_ ? Connection::Connected : Connection::Refused;
    }
    void disconnectDriver() override { record(QStringLiteral("disconnect")); }
    bool setPreview(bool on) override
    {
        record(QStringLiteral("preview %1").arg(on ? QStringLiteral("on") : QStringLiteral("off")));
        return connected_;
    }
    void setPreviewRate(int milliseconds) override { record(QStringLiteral("rate %1").arg(milliseconds)); }
    bool setOverlay(bool on) override
    {
        record(QStringLiteral("overlay %1").arg(on ? QStringLiteral("on") : QStringLiteral("off")));
        return connected_ && script_->overlaySupported;
    }
    std::optional<CaptureImageSize> status() override
    {
        if (!connected_)
            return std::nullopt;
        return script_->size;
    }
    void showFormatDialog(QWidget *) override { record(QStringLiteral("format dialog")); }
    void showSourceDialog(QWidget *) override { record(QStringLiteral("source dialog")); }
    CapturedFrame currentFrame() override { return connected_ ? script_->frame : CapturedFrame{}; }
    QString frameSource() override { return QStringLiteral("scripted source"); }
    void setFrameListener(std::function<void()> listener) override { script_->frameArrived = std::move(listener); }

private:
    void record(const QString &call) { script_->calls.append(call); }

    std::shared_ptr<Script> script_;
    bool connected_ = false;
};
