#include "net/HostLookup.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QTest>

#include <memory>

// A resolver that hangs (an unreachable name server) must not hold the program's end.
class TestHostLookup : public QObject {
    Q_OBJECT
private slots:
    void hangingResolverDoesNotHoldTheEnd();
};

void TestHostLookup::hangingResolverDoesNotHoldTheEnd()
{
    // Shared with the resolving thread, which may outlive this function.
    const auto started = std::make_shared<QSemaphore>();
    const auto release = std::make_shared<QSemaphore>();
    const ScopedSeam<QHostInfo(const QString &)> hanging(seams::ResolveHostName, [started, release](const QString &) {
        started->release();
        release->acquire();
        return QHostInfo();
    });
    int argc = 0;
    auto application = std::make_unique<QCoreApplication>(argc, nullptr);
    auto receiver = std::make_unique<QObject>();
    seams::LookupHost(QStringLiteral("camera.example"), receiver.get(), [](const QHostInfo &) {});
    started->acquire();
    receiver.reset();
    application.reset(); // a lookup that the application waits for hangs here, and the suite times out
    release->release();
}

QTEST_APPLESS_MAIN(TestHostLookup)
#include "TestHostLookup.moc"
