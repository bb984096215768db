#pragma once

#include "onvif/SoapRequest.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>

// The events service: recorders subscribe to the camera's motion events and pull them. A
// subscription keeps the events since its last pull (MostQueued at most, the oldest going
// first), a pull with nothing to give waits for the next event or its time-out without
// holding up anything else, and a subscription not renewed ends at its termination time.
// There are MostSubscriptions at most; a recorder that went leaves nothing behind for long.
class PullPoints : public QObject {
    Q_OBJECT

public:
    // Called with the whole envelope of an answer, now or when a pull's wait ends.
    using Answer = std::function<void(const QByteArray &envelope, bool fault)>;

    // Answers one operation of the events service; `path` is the address the request was
    // sent to, `serviceBase` "http(s)://host:port" as the recorder reached the program.
    void Handle(const SoapRequest &request, const QString &path, const QString &serviceBase, const QDateTime &now,
                Answer answer);
    // Motion began (true) or ended (false).
    void SetMotion(bool moving, const QDateTime &at);
    // Ends every subscription, answering the pulls that wait.
    void Clear();
    int Count() const { return static_cast<int>(subscriptions_.size()); }

    static constexpr int MostSubscriptions = 64;
    static constexpr size_t MostQueued = 100;
    static constexpr qint64 LongestSubscriptionSeconds = 3600;
    static constexpr qint64 LongestWaitMs = 60000;

private:
    struct Waiting {
        Answer answer;
        int limit = 0;
        std::unique_ptr<QTimer> deadline;
    };
    struct Subscription {
        QDateTime terminates;
        std::deque<QString> messages;
        std::optional<Waiting> waiting;
    };

    void subscribe(const SoapRequest &request, const QString &serviceBase, const QDateTime &now, const Answer &answer);
    void pull(int id, const SoapRequest &request, const QDateTime &now, Answer answer);
    void answerPull(int id, const QDateTime &now);
    void endExpired();
    QString message(bool moving, const QDateTime &at, const QString &operation) const;

    std::map<int, Subscription> subscriptions_;
    int nextId_ = 1;
    bool moving_ = false;
    QTimer expiry_;
};
