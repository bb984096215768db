// Thousands of random clients against the program's own server over real sockets on
// 127.0.0.1: every request kind, bare and with an HTTP head, random bytes, split requests,
// half-closes, resets and readers that never read, also while message and error boxes are
// open; the server is stopped and started in the middle. Built for the sanitizer build.
//
// It prints its seed. VANTREL_CHAOS_SEED=<seed> replays a run's clients (the timing of the
// event loop still varies); VANTREL_CHAOS_SECONDS=<n> runs it longer (scripts/chaos.sh).
#include "capture/JpegImage.h"
#include "server/MjpegStream.h"
#include "tests/app/ProgramFixture.h"
#include "tests/server/ChaosClient.h"
#include "tests/server/ServerClient.h"
#include "tests/support/VantrelTestMain.h"

#include <QDir>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int DefaultSeconds = 20;
constexpr size_t OpenClients = 128;

int OpenDescriptors()
{
    return static_cast<int>(QDir(u"/proc/self/fd"_s).entryList(QDir::Files | QDir::System).size());
}

quint32 Seed()
{
    bool given = false;
    const quint32 seed = qEnvironmentVariable("VANTREL_CHAOS_SEED").toUInt(&given);
    return given ? seed : std::random_device{}();
}

int Seconds()
{
    bool given = false;
    const int seconds = qEnvironmentVariableIntValue("VANTREL_CHAOS_SECONDS", &given);
    return given && seconds > 0 ? seconds : DefaultSeconds;
}

QImage Picture()
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(40, 120, 200));
    return image;
}

int Between(std::mt19937 &random, int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

struct Totals {
    int clients = 0;
    int requests = 0;
    qint64 received = 0;
    int boxes = 0;
    int stops = 0;
    int starts = 0;
};

} // namespace

class TestChaos : public QObject {
    Q_OBJECT

private slots:
    void randomClientsCannotHurtTheServer();
};

void TestChaos::randomClientsCannotHurtTheServer()
{
    const quint32 seed = Seed();
    const int seconds = Seconds();
    std::printf("chaos seed %u for %d s (replay: VANTREL_CHAOS_SEED=%u)\n", seed, seconds, seed);
    std::fflush(stdout);
    std::mt19937 random(seed);
    // Thousands of log lines would only slow the run down.
    QLoggingCategory::setFilterRules(u"vantrel.log=false"_s);

    ProgramFixture program;
    const CapturedFrame frame{CapturedFrame::State::Ready, Picture(), 1};
    program.capture->drivers = {{u"Camera"_s, u"1"_s}};
    program.capture->frame = frame;
    program.start();
    // Every kind once, so that whatever the program opens on first use is open before counting.
    FormMain->CheckBox->setChecked(true);
    for (const char *request : {"GET /pic.jpg\n", "GET /title.jpg\n", "GET /\n", "GET /CHART0\n", "GET /CHART1\n",
                                "GET /CHART2\n", "GET /CHART3\n", "MSG:warm\n", "STATUS\n"})
        Exchange(request);
    FormMain->CheckBox->setChecked(false);
    PumpEvents(50);
    const int descriptors = OpenDescriptors();

    Totals totals;
    FormMain->CheckBox->setChecked(true);
    // Stream viewers that never read are closed within the run, not only at its end.
    FormMain->Stream->IdleLimit = std::chrono::milliseconds(Between(random, 50, 2000));
    quint64 serial = frame.serial;
    program.messages.whileOpen = [&](const RecordedMessage &) {
        ++totals.boxes;
        PumpEvents(Between(random, 0, 60));
    };
    std::vector<std::unique_ptr<ChaosClient>> clients;
    const auto retire = [&](ChaosClient &client) {
        totals.requests += client.Requests();
        totals.received += client.Received();
    };
    const QDeadlineTimer end(seconds * 1000);
    bool ticking = false;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        // Starting the server may show a box, which runs this again inside.
        if (ticking)
            return;
        ticking = true;
        const int roll = Between(random, 0, 999);
        if (roll < 15 && FormMain->CheckBox->isChecked()) {
            ++totals.stops;
            FormMain->CheckBox->setChecked(false);
        } else if (roll < 300 && !FormMain->CheckBox->isChecked()) {
            ++totals.starts;
            FormMain->CheckBox->setChecked(true);
        } else if (roll >= 960) {
            // A grab that finds nothing shows the error box and stops the server.
            program.capture->frame = roll >= 985 ? CapturedFrame{} : frame;
        } else if (roll >= 950) {
            FormMain->ServerSocket->SetMaxConnections(Between(random, 4, 96));
        } else if (roll >= 940) {
            FormMain->Offline->setChecked(!FormMain->Offline->isChecked());
        } else if (roll >= 800) {
            // A new frame for the stream's viewers (or none, while the camera gives nothing).
            if (program.capture->frame.ready())
                program.capture->frame.serial = ++serial;
            program.capture->frameArrived();
        }
        while (FormMain->ServerSocket->Active() && !end.hasExpired() && clients.size() < OpenClients) {
            clients.push_back(std::make_unique<ChaosClient>(random, ServerPort()));
            ++totals.clients;
        }
        for (auto client = clients.begin(); client != clients.end();) {
            if ((*client)->Step()) {
                ++client;
                continue;
            }
            retire(**client);
            client = clients.erase(client);
        }
        ticking = false;
    });
    ticker.start(1);
    TransferUntil([&] { return end.hasExpired(); }, seconds * 1000 + 60000);
    ticker.stop();
    for (const std::unique_ptr<ChaosClient> &client : clients) {
        client->Finish();
        retire(*client);
    }
    clients.clear();
    program.messages.whileOpen = nullptr;
    program.capture->frame = frame;
    FormMain->Offline->setChecked(false);
    FormMain->ServerSocket->SetMaxConnections(512);

    std::printf("chaos seed %u: %d clients, %d requests, %lld bytes received, %d boxes, %d stops by hand, %d starts "
                "after a stop\n",
                seed, totals.clients, totals.requests, static_cast<long long>(totals.received), totals.boxes,
                totals.stops, totals.starts);
    std::fflush(stdout);
    QVERIFY(totals.clients > 0);
    FormMain->CheckBox->setChecked(false);
    QVERIFY2(PumpUntil([&] { return OpenDescriptors() == descriptors; }),
             qPrintable(u"%1 descriptors open, %2 before"_s.arg(OpenDescriptors()).arg(descriptors)));
    FormMain->CheckBox->setChecked(true);
    QCOMPARE(Exchange("GET /pic.jpg\n"), FormMain->FrameJpeg->data());
}

VANTREL_TEST_MAIN(TestChaos)
#include "TestChaos.moc"
