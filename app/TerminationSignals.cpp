#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
bool terminationRequested = false;

// Only async-signal-safe work here: one byte into the pipe.
void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

void QuitOnTerminationSignals()
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte;
        while (::read(signalPipe[0], &byte, 1) > 0) {
        }
        terminationRequested = true;
        // Not quit(): that asks the windows first, and does nothing before the main loop runs.
        QCoreApplication::exit(0);
    });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}

bool TerminationRequested() { return terminationRequested; }
