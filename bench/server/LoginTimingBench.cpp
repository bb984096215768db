// How long a password or share link check takes for right and wrong answers: a guesser must
// learn nothing from the time. Prints the median and the spread of each case.
//
//   LoginTimingBench [rounds]
#include "server/PasswordHash.h"
#include "server/ShareLinks.h"
#include "server/ViewerAccess.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QByteArray loginRequest(const QByteArray &user, const QByteArray &password)
{
    return "GET /pic.jpg HTTP/1.1\r\nAuthorization: Basic " + (user + ':' + password).toBase64() + "\r\n\r\n";
}

void report(const char *name, int rounds, const std::function<void()> &once, double unit, const char *unitName)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        once();
        times.push_back(double(timer.nsecsElapsed()) / unit);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %9.3f %s  (10%%: %9.3f, 90%%: %9.3f)\n", name, times[times.size() / 2], unitName,
                times[times.size() / 10], times[times.size() * 9 / 10]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
    const QByteArray password = "correct horse battery staple";
    std::vector<ViewerAccount> accounts{{QStringLiteral("anna"), passwordhash::Make(QStringLiteral("another one"))},
                                        {QStringLiteral("viewer"), passwordhash::Make(QString::fromLatin1(password))},
                                        {QStringLiteral("zoe"), passwordhash::Make(QStringLiteral("and a third"))}};
    ViewerAccess access;
    // Each round forgets what passed, so every check is the slow one.
    const auto judged = [&](const QByteArray &user, const QByteArray &given) {
        return [&access, &accounts, text = loginRequest(user, given)] {
            access.Set(accounts);
            access.Judge(text);
        };
    };
    QByteArray firstWrong = password;
    firstWrong[0] = 'X';
    QByteArray lastWrong = password;
    lastWrong[lastWrong.size() - 1] = 'X';
    std::printf("Passwords (PBKDF2-SHA256, %d rounds, %d checks each), ms:\n", passwordhash::Iterations, rounds);
    report("right name, right password", rounds, judged("viewer", password), 1e6, "ms");
    report("right name, first character wrong", rounds, judged("viewer", firstWrong), 1e6, "ms");
    report("right name, last character wrong", rounds, judged("viewer", lastWrong), 1e6, "ms");
    report("right name, empty password", rounds, judged("viewer", ""), 1e6, "ms");
    report("name of no viewer", rounds, judged("nobody", password), 1e6, "ms");
    access.Set(accounts);
    access.Judge(loginRequest("viewer", password));
    const QByteArray remembered = loginRequest("viewer", password);
    const QByteArray nearMiss = loginRequest("viewer", lastWrong);
    std::printf("Credentials that passed before (keyed digest), us per 1000 checks:\n");
    report(
        "remembered, right", 200,
        [&] {
            for (int i = 0; i < 1000; ++i)
                access.NeedsSlowCheck(remembered);
        },
        1e3, "us");
    report(
        "remembered, last character wrong", 200,
        [&] {
            for (int i = 0; i < 1000; ++i)
                access.NeedsSlowCheck(nearMiss);
        },
        1e3, "us");

    ShareLinks links;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < 20; ++i)
        links.Make(ShareLinks::Lifetime::Day, false, now);
    const QByteArray token = links.Make(ShareLinks::Lifetime::Day, false, now).token;
    QByteArray tokenFirst = token;
    tokenFirst[0] = tokenFirst[0] == 'A' ? 'B' : 'A';
    QByteArray tokenLast = token;
    tokenLast[tokenLast.size() - 1] = tokenLast[tokenLast.size() - 1] == 'A' ? 'B' : 'A';
    std::printf("Share links (21 links, SHA-256 digests), us per 1000 checks:\n");
    for (const auto &[name, given] : std::vector<std::pair<const char *, QByteArray>>{
             {"right token", token}, {"first character changed", tokenFirst}, {"last character changed", tokenLast}})
        report(
            name, 200,
            [&, given = given] {
                for (int i = 0; i < 1000; ++i)
                    links.Find(given, now);
            },
            1e3, "us");
    return 0;
}
