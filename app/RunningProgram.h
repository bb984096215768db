#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

// One program a settings file: a second start of the same user's program with the same file
// asks the first one to bring its main window forward and ends, as desktop programs do; a
// start with another settings file runs beside it.
class RunningProgram : public QObject {
public:
    // The name the program with that settings file answers to (this user's only).
    static QString NameFor(const QByteArray &settingsFile);
    // Whether a program answers to the name; it has been asked to come forward then.
    static bool AskForward(const QString &name);

    // Answers to the name from now on (a name left by a program that ended is taken over).
    bool Listen(const QString &name);
    std::function<void()> OnAskedForward;

private:
    QLocalServer server_;
};
