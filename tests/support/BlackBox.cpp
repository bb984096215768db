#include "tests/support/BlackBox.h"

#include <algorithm>
#include <iterator>

#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>

namespace {
const QString ExecutableName = QStringLiteral("vantrel");
const QByteArray LogPrefix = QByteArrayLiteral("vantrel.log: ");

// Ports browsers refuse to open pages on (Chromium's restricted list, within the range used).
bool BrowsersRefuse(quint16 port)
{
    static constexpr quint16 refused[] = {2049, 3659, 4045, 4190, 5060, 5061, 6000, 6566,
                                          6665, 6666, 6667, 6668, 6669, 6679, 6697};
    return std::find(std::begin(refused), std::end(refused), port) != std::end(refused);
}

} // namespace

BlackBoxVantrel::BlackBoxVantrel(const QByteArray &settingsIni)
{
    QFile::copy(QStringLiteral(VANTREL_BINARY), executablePath());
    if (!settingsIni.isEmpty()) {
        // A server switched on would also open the RTSP port, a fixed one: off unless the test asks.
        QByteArray text = settingsIni;
        if (text.contains("Enabled=1") && !text.contains("RtspPort="))
            text.replace("[FormMain]\n", "[FormMain]\nRtspPort=0\n");
        QFile settings(settingsPath());
        if (settings.open(QIODevice::WriteOnly))
            settings.write(text);
    }
}

BlackBoxVantrel::~BlackBoxVantrel() { stop(); }

QString BlackBoxVantrel::executablePath() const { return dir_.filePath(ExecutableName); }

QString BlackBoxVantrel::settingsPath() const { return dir_.filePath(ExecutableName + QStringLiteral(".INI")); }

bool BlackBoxVantrel::start()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
    environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    environment.insert(environment_);
    process_.setProcessEnvironment(environment);
    process_.setWorkingDirectory(dir_.path());
    if (launcher_.isEmpty()) {
        process_.setProgram(executablePath());
    } else {
        process_.setProgram(launcher_.first());
        process_.setArguments(launcher_.mid(1) << executablePath());
    }
    process_.start();
    return process_.waitForStarted(10000);
}

void BlackBoxVantrel::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
    readAvailable();
}

void BlackBoxVantrel::readAvailable()
{
    const QByteArray chunk = process_.readAllStandardError();
    standardError_ += QString::fromUtf8(chunk);
    pending_ += chunk;
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QByteArray line = pending_.left(end);
        pending_.remove(0, end + 1);
        if (line.startsWith(LogPrefix))
            logLines_.append(QString::fromUtf8(line.mid(LogPrefix.size())));
    }
}

QStringList BlackBoxVantrel::logLines()
{
    readAvailable();
    return logLines_;
}

QString BlackBoxVantrel::standardError()
{
    readAvailable();
    return standardError_;
}

bool BlackBoxVantrel::waitForLogLineEndingWith(const QString &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readAvailable();
        for (const QString &line : std::as_const(logLines_))
            if (line.endsWith(text))
                return true;
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            return false;
        process_.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 200)));
    }
}

quint16 FreeLocalPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

quint16 FreeServerPort()
{
    QRandomGenerator random = QRandomGenerator::securelySeeded();
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = static_cast<quint16>(random.bounded(2000, 10000));
        QTcpServer probe;
        if (!BrowsersRefuse(port) && probe.listen(QHostAddress::AnyIPv4, port))
            return port;
    }
    return 0;
}

QByteArray Run(const QString &program, const QStringList &arguments, const QByteArray &input, int limitMs)
{
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(limitMs))
        process.kill();
    process.waitForFinished(5000);
    return process.readAllStandardOutput() + process.readAllStandardError();
}
