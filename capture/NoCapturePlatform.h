#pragma once

#include "capture/CapturePlatform.h"

// The platform of a computer without any capture service: a plain capture
// window, no drivers, and every request refused.
class NoCapturePlatform : public CapturePlatform {
public:
    QWidget *createCaptureWindow(QWidget *parent, const QString &title, const QRect &geometry) override;
    std::optional<DriverDescription> driverDescription(int) override { return std::nullopt; }
    Connection connectDriver(int) override { return Connection::Refused; }
    void disconnectDriver() override {}
    bool setPreview(bool) override { return false; }
    void setPreviewRate(int) override {}
    bool setOverlay(bool) override { return false; }
    std::optional<CaptureImageSize> status() override { return std::nullopt; }
    void showFormatDialog(QWidget *) override {}
    void showSourceDialog(QWidget *) override {}
    CapturedFrame currentFrame() override { return {}; }
    QString frameSource() override { return QStringLiteral("a frame: this computer has no capture service"); }
};
