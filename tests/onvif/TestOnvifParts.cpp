// The parts a recorder's login rests on: a SOAP request read with its user name token, and
// the token's digest, time and nonce checked.
#include "onvif/HttpDigest.h"
#include "onvif/PullPoints.h"
#include "onvif/SoapRequest.h"
#include "onvif/UsernameTokenCheck.h"

#include <QCryptographicHash>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray request(const QByteArray &nonce, const QString &created, const QByteArray &password)
{
    const QByteArray digest =
        QCryptographicHash::hash(nonce + created.toUtf8() + password, QCryptographicHash::Sha1).toBase64();
    return "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Header>"
           "<Security xmlns=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd\">"
           "<UsernameToken><Username>nvr</Username><Password Type=\"http://docs.oasis-open.org/wss/2004/01/"
           "oasis-200401-wss-username-token-profile-1.0#PasswordDigest\">" +
           digest + "</Password><Nonce>" + nonce.toBase64() + "</Nonce><Created>" + created.toUtf8() +
           "</Created></UsernameToken></Security></s:Header><s:Body>"
           "<GetStreamUri xmlns=\"http://www.onvif.org/ver10/media/wsdl\"><ProfileToken>p1</ProfileToken>"
           "</GetStreamUri></s:Body></s:Envelope>";
}

SoapRequest operation(const QString &name, QHash<QString, QString> values = {})
{
    SoapRequest request;
    request.operation = name;
    request.values = std::move(values);
    return request;
}

} // namespace

class TestOnvifParts : public QObject {
    Q_OBJECT

private slots:
    // A digest answer counts only for a nonce given out lately, once per count, for the path it names.
    void httpDigestRefusesReplaysAndOldNonces()
    {
        HttpDigest digest;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QByteArray nonce = digest.Challenges(now).split('"').value(5);
        const auto answer = [&](const QByteArray &password, const QByteArray &count, const QByteArray &uri) {
            const auto md5 = [](const QByteArray &text) {
                return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
            };
            const QByteArray response =
                md5(md5("nvr:Vantrel:" + password) + ':' + nonce + ':' + count + ":c1:auth:" + md5("POST:" + uri));
            return *HttpDigest::CredentialsOf("Digest username=\"nvr\", realm=\"Vantrel\", nonce=\"" + nonce +
                                              "\", uri=\"" + uri + "\", qop=auth, nc=" + count +
                                              ", cnonce=\"c1\", response=\"" + response + "\"");
        };
        using Result = HttpDigest::Result;
        const QByteArray path = "/onvif/device_service";
        QCOMPARE(digest.Check(answer("guess", "00000001", path), "POST", path, "secret", now), Result::WrongPassword);
        QCOMPARE(digest.Check(answer("secret", "00000001", path), "POST", path, "secret", now), Result::Admitted);
        QCOMPARE(digest.Check(answer("secret", "00000001", path), "POST", path, "secret", now), Result::Stale);
        QCOMPARE(digest.Check(answer("secret", "00000002", "/pic.jpg"), "POST", path, "secret", now),
                 Result::Malformed);
        QCOMPARE(digest.Check(answer("secret", "00000002", path), "POST", path, "secret", now.addSecs(301)),
                 Result::Stale);
        QCOMPARE(digest.Check(answer("secret", "00000002", path), "POST", path, "secret", now), Result::Admitted);
        for (size_t n = 0; n < HttpDigest::KeptNonces; ++n)
            digest.Challenges(now);
        QCOMPARE(digest.Check(answer("secret", "00000003", path), "POST", path, "secret", now), Result::Stale);
    }

    void tokenIsCheckedForDigestTimeAndReplay()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QString created = now.toString(Qt::ISODateWithMs);
        QString problem;
        const std::optional<SoapRequest> read = ParseSoapRequest(request("nonce-one", created, "secret"), problem);
        QVERIFY2(read && read->token, qPrintable(problem));
        QCOMPARE(read->operation, u"GetStreamUri"_s);
        QCOMPARE(read->values.value(u"ProfileToken"_s), u"p1"_s);
        QVERIFY(read->token->digest && read->token->user == u"nvr"_s);

        UsernameTokenCheck check;
        using Result = UsernameTokenCheck::Result;
        QCOMPARE(check.Check(*read->token, "wrong", u"10.0.0.2"_s, now), Result::WrongPassword);
        QCOMPARE(check.Check(*read->token, "secret", u"10.0.0.2"_s, now), Result::Admitted);
        // Again from the same address at once (one step of a recorder's), never from another or later.
        QCOMPARE(check.Check(*read->token, "secret", u"10.0.0.2"_s, now.addSecs(2)), Result::Admitted);
        QCOMPARE(check.Check(*read->token, "secret", u"10.0.0.3"_s, now.addSecs(2)), Result::Replayed);
        QCOMPARE(check.Check(*read->token, "secret", u"10.0.0.2"_s, now.addSecs(60)), Result::Replayed);
        // A token made far from this computer's time is refused whatever its digest.
        const QString future = now.addSecs(3600).toString(Qt::ISODateWithMs);
        const std::optional<SoapRequest> late = ParseSoapRequest(request("nonce-two", future, "secret"), problem);
        QCOMPARE(check.Check(*late->token, "secret", u"10.0.0.2"_s, now), Result::OutOfTime);
    }

    // A pull waits for motion without holding anything up, and each subscription gets every change.
    void pullsWaitForMotionAndSubscriptionsAreBounded()
    {
        PullPoints points;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QList<QByteArray> answers;
        const auto keep = [&](const QByteArray &envelope, bool) { answers << envelope; };
        points.Handle(operation(u"CreatePullPointSubscription"_s, {{u"InitialTerminationTime"_s, u"PT2M"_s}}), {},
                      u"http://cam:8282"_s, now, keep);
        QVERIFY(answers.last().contains("<wsa:Address>http://cam:8282/onvif/events_service/pullpoint/1</wsa:Address>"));
        const QString pullPoint = u"/onvif/events_service/pullpoint/1"_s;
        const SoapRequest pull = operation(u"PullMessages"_s, {{u"Timeout"_s, u"PT30S"_s}});
        points.Handle(pull, pullPoint, {}, now, keep);
        QVERIFY(answers.last().contains("PropertyOperation=\"Initialized\"") &&
                answers.last().contains("Name=\"IsMotion\" Value=\"false\""));
        points.Handle(pull, pullPoint, {}, now, keep);
        QCOMPARE(answers.size(), 2); // the second pull waits
        points.SetMotion(true, now);
        QVERIFY(answers.size() == 3 && answers.last().contains("Name=\"IsMotion\" Value=\"true\""));
        points.SetMotion(false, now);
        points.Handle(pull, pullPoint, {}, now, keep);
        QVERIFY(answers.last().contains("Name=\"IsMotion\" Value=\"false\""));

        // The waiting pull of a subscription that ends is answered; others beyond the bound are refused.
        points.Handle(pull, pullPoint, {}, now, keep);
        points.Handle(operation(u"Unsubscribe"_s), pullPoint, {}, now, keep);
        QVERIFY(answers.at(answers.size() - 2).contains("The subscription ended"));
        points.Handle(pull, pullPoint, {}, now, keep);
        QVERIFY(answers.last().contains("There is no such subscription"));
        for (int i = 0; i <= PullPoints::MostSubscriptions; ++i)
            points.Handle(operation(u"CreatePullPointSubscription"_s), {}, u"http://cam"_s, now, keep);
        QCOMPARE(points.Count(), PullPoints::MostSubscriptions);
        QVERIFY(answers.last().contains("Too many subscriptions"));
    }

    void badDocumentsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("body");
        const QByteArray open = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>";
        QTest::newRow("entity bomb") << "<!DOCTYPE s [<!ENTITY a \"a\"><!ENTITY b \"&a;&a;&a;&a;\">]>" + open +
                                            "<x>&b;</x></s:Body></s:Envelope>";
        QTest::newRow("truncated") << open + "<GetProfiles";
        QTest::newRow("no envelope") << QByteArray("<GetProfiles/>");
        QTest::newRow("empty body") << open + "</s:Body></s:Envelope>";
        QTest::newRow("too large") << open + QByteArray(SoapRequest::MaxBytes, ' ') + "<x/></s:Body></s:Envelope>";
    }
    void badDocumentsAreRefused()
    {
        QFETCH(QByteArray, body);
        QString problem;
        QVERIFY(!ParseSoapRequest(body, problem));
        QVERIFY(!problem.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOnvifParts)
#include "TestOnvifParts.moc"
