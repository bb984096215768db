#pragma once

#include "app/Globals.h"
#include "app/ProgramEntry.h"
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "capture/CaptureDevice.h"
#include "capture/CapturePlatformFactory.h"
#include "server/ListeningPort.h"
#include "tests/app/ScriptedCapturePlatform.h"
#include "tests/support/SeamRecorders.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

// The program's nine windows inside a test, with a settings file in a
// temporary folder, recorded message boxes, a fixed clock and a scripted
// capture platform (or the real one, for the moving test pattern). start() shows the main window, which runs the
// first-show initialisation; the windows are destroyed with the fixture.
class ProgramFixture {
public:
    enum class CaptureKind { Scripted, System };

    explicit ProgramFixture(const QByteArray &settings = {}, CaptureKind kind = CaptureKind::Scripted)
        : clock(QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9))),
          settingsSeam(SettingsFileLocation, [this] { return QFile::encodeName(settingsPath()); }),
          listeningSeam(listening::Port, [this](int) { return listenOn.value_or(0); }),
          rtspSeam(listening::RtspPort, [this](int) { return rtspListenOn.value_or(-1); })
    {
        if (kind == CaptureKind::Scripted) {
            platformSeam.emplace(MakeCapturePlatform, [this]() -> std::unique_ptr<CapturePlatform> {
                return std::make_unique<ScriptedCapturePlatform>(capture);
            });
        }
        if (!settings.isEmpty())
            writeSettings(settings);
    }

    ~ProgramFixture() { DestroyProgramWindows(); }

    ProgramFixture(const ProgramFixture &) = delete;
    ProgramFixture &operator=(const ProgramFixture &) = delete;

    void start()
    {
        CreateProgramWindows();
        FormMain->show();
        // The first driver's connect ends after the start-up, once its first frame came.
        [[maybe_unused]] const bool connected = QTest::qWaitFor([] { return !Capture || !Capture->Connecting(); });
    }

    QString settingsPath() const { return dir.filePath(QStringLiteral("vantrel.INI")); }

    void writeSettings(const QByteArray &content)
    {
        QFile file(settingsPath());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
    }

    QByteArray readSettings() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    MessageRecorder messages;
    FixedClock clock;
    UrlRecorder urls;
    FakeClipboard clipboard;
    DialogScript dialogs;
    // The port the server binds to; by default one the system picks, whatever the window says.
    std::optional<int> listenOn;
    // The RTSP server's port (0: one the system picks); off unless a test sets it.
    std::optional<int> rtspListenOn;
    std::shared_ptr<ScriptedCapturePlatform::Script> capture = std::make_shared<ScriptedCapturePlatform::Script>();

private:
    ScopedSeam<QByteArray()> settingsSeam;
    ScopedSeam<int(int)> listeningSeam;
    ScopedSeam<int(int)> rtspSeam;
    std::optional<ScopedSeam<std::unique_ptr<CapturePlatform>()>> platformSeam;
};
