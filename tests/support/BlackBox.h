#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The real vantrel binary, copied into a temporary folder beside its settings
// file and started on the offscreen platform. Its event log is read from
// standard error. The process is ended when the object goes.
class BlackBoxVantrel {
public:
    // settingsIni: the content of the settings file beside the copy; none when empty.
    explicit BlackBoxVantrel(const QByteArray &settingsIni = {});
    ~BlackBoxVantrel();
    BlackBoxVantrel(const BlackBoxVantrel &) = delete;
    BlackBoxVantrel &operator=(const BlackBoxVantrel &) = delete;

    // Environment for the next start, over the default one (offscreen platform);
    // for example QT_QPA_PLATFORM=xcb and DISPLAY for a real X display.
    void setEnvironment(const QString &name, const QString &value) { environment_.insert(name, value); }
    // A command that the program is started through, for example to run it as another user.
    void startThrough(const QStringList &launcher) { launcher_ = launcher; }

    bool start();
    void stop();

    QString folder() const { return dir_.path(); }
    QString executablePath() const;
    QString settingsPath() const;

    // Event log lines seen so far, in order.
    QStringList logLines();
    // Everything the program wrote to standard error.
    QString standardError();

    // Waits until a log line ends with the text; false on time-out or exit.
    bool waitForLogLineEndingWith(const QString &text, int timeoutMs = 30000);

    QProcess &process() { return process_; }

private:
    void readAvailable();

    QTemporaryDir dir_;
    QProcessEnvironment environment_;
    QStringList launcher_;
    QProcess process_;
    QByteArray pending_;
    QStringList logLines_;
    QString standardError_;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
quint16 FreeLocalPort();
// A port from 2000 to 9999 (the program's port box stops at 9999) that was free on every
// interface a moment ago; 0 when none was found.
quint16 FreeServerPort();

// Runs a program to its end (killed after the limit) with the input given; what it wrote to
// standard output, then to standard error.
QByteArray Run(const QString &program, const QStringList &arguments, const QByteArray &input = {}, int limitMs = 60000);
