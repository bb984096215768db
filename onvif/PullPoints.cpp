#include "onvif/PullPoints.h"

#include "onvif/OnvifAnswers.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

const QString PullPointPath = u"/onvif/events_service/pullpoint/"_s;

QString utc(const QDateTime &time) { return time.toUTC().toString(Qt::ISODate); }

// An xs:duration of hours, minutes and seconds ("PT1M", "PT10.5S"), or an absolute time;
// the seconds from now, or -1 when it is neither.
qint64 secondsFrom(const QString &text, const QDateTime &now)
{
    static const QRegularExpression duration(u"^P(?:T(?:(\\d+)H)?(?:(\\d+)M)?(?:(\\d+(?:\\.\\d+)?)S)?)?$"_s);
    const QRegularExpressionMatch match = duration.match(text.trimmed());
    if (match.hasMatch() && text.trimmed() != u"P" && text.trimmed() != u"PT")
        return match.captured(1).toLongLong() * 3600 + match.captured(2).toLongLong() * 60 +
               static_cast<qint64>(match.captured(3).toDouble());
    const QDateTime at = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    return at.isValid() ? now.secsTo(at) : -1;
}

QByteArray fault(const QString &reason) { return onvifanswers::Fault(u"Sender"_s, u"ter:InvalidArgVal"_s, reason); }

} // namespace

void PullPoints::Handle(const SoapRequest &request, const QString &path, const QString &serviceBase,
                        const QDateTime &now, Answer answer)
{
    endExpired();
    const QString &operation = request.operation;
    if (operation == u"GetEventProperties") {
        answer(onvifanswers::Envelope(
                   u"<tev:GetEventPropertiesResponse>"
                   "<tev:TopicNamespaceLocation>http://www.onvif.org/onvif/ver10/topics/topicns.xml"
                   "</tev:TopicNamespaceLocation><wsnt:FixedTopicSet>true</wsnt:FixedTopicSet>"
                   "<wstop:TopicSet><tns1:RuleEngine><CellMotionDetector><Motion wstop:topic=\"true\">"
                   "<tt:MessageDescription IsProperty=\"true\"><tt:Source>"
                   "<tt:SimpleItemDescription Name=\"VideoSourceConfigurationToken\" Type=\"tt:ReferenceToken\"/>"
                   "<tt:SimpleItemDescription Name=\"Rule\" Type=\"xs:string\"/></tt:Source><tt:Data>"
                   "<tt:SimpleItemDescription Name=\"IsMotion\" Type=\"xs:boolean\"/></tt:Data>"
                   "</tt:MessageDescription></Motion></CellMotionDetector></tns1:RuleEngine></wstop:TopicSet>"
                   "<wsnt:TopicExpressionDialect>http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet"
                   "</wsnt:TopicExpressionDialect>"
                   "<tev:MessageContentFilterDialect>http://www.onvif.org/ver10/tev/messageContentFilter/ItemFilter"
                   "</tev:MessageContentFilterDialect>"
                   "<tt:MessageContentSchemaLocation>http://www.onvif.org/onvif/ver10/schema/onvif.xsd"
                   "</tt:MessageContentSchemaLocation></tev:GetEventPropertiesResponse>"_s),
               false);
        return;
    }
    if (operation == u"CreatePullPointSubscription") {
        subscribe(request, serviceBase, now, answer);
        return;
    }
    bool known = false;
    const int id = path.startsWith(PullPointPath) ? path.mid(PullPointPath.size()).toInt(&known) : 0;
    const auto found = known ? subscriptions_.find(id) : subscriptions_.end();
    if (operation != u"PullMessages" && operation != u"Renew" && operation != u"Unsubscribe") {
        answer(onvifanswers::Fault(u"Receiver"_s, u"ter:ActionNotSupported"_s,
                                   u"The operation %1 is not supported by this camera"_s.arg(operation)),
               true);
        return;
    }
    if (found == subscriptions_.end()) {
        answer(fault(u"There is no such subscription (it ended, or never was)"_s), true);
        return;
    }
    if (operation == u"PullMessages") {
        pull(id, request, now, std::move(answer));
    } else if (operation == u"Renew") {
        const qint64 seconds = secondsFrom(request.values.value(u"TerminationTime"_s, u"PT60S"_s), now);
        found->second.terminates = now.addSecs(std::clamp<qint64>(seconds, 1, LongestSubscriptionSeconds));
        answer(onvifanswers::Envelope(u"<wsnt:RenewResponse><wsnt:TerminationTime>%1</wsnt:TerminationTime>"
                                      "<wsnt:CurrentTime>%2</wsnt:CurrentTime></wsnt:RenewResponse>"_s.arg(
                                          utc(found->second.terminates), utc(now))),
               false);
    } else {
        if (found->second.waiting)
            found->second.waiting->answer(fault(u"The subscription ended"_s), true);
        subscriptions_.erase(found);
        answer(onvifanswers::Envelope(u"<wsnt:UnsubscribeResponse/>"_s), false);
    }
}

void PullPoints::subscribe(const SoapRequest &request, const QString &serviceBase, const QDateTime &now,
                           const Answer &answer)
{
    if (static_cast<int>(subscriptions_.size()) >= MostSubscriptions) {
        answer(onvifanswers::Fault(u"Receiver"_s, u"ter:Action"_s,
                                   u"Too many subscriptions: end one or let one expire first"_s),
               true);
        return;
    }
    const qint64 seconds = secondsFrom(request.values.value(u"InitialTerminationTime"_s, u"PT60S"_s), now);
    const int id = nextId_++;
    Subscription &subscription = subscriptions_[id];
    subscription.terminates =
        now.addSecs(std::clamp<qint64>(seconds <= 0 ? 60 : seconds, 1, LongestSubscriptionSeconds));
    // A property event tells its state at once.
    subscription.messages.push_back(message(moving_, now, u"Initialized"_s));
    if (!expiry_.isActive()) {
        expiry_.setInterval(1000);
        connect(&expiry_, &QTimer::timeout, this, &PullPoints::endExpired, Qt::UniqueConnection);
        expiry_.start();
    }
    answer(onvifanswers::Envelope(
               u"<tev:CreatePullPointSubscriptionResponse><tev:SubscriptionReference><wsa:Address>%1%2%3</wsa:Address>"
               "</tev:SubscriptionReference><wsnt:CurrentTime>%4</wsnt:CurrentTime>"
               "<wsnt:TerminationTime>%5</wsnt:TerminationTime></tev:CreatePullPointSubscriptionResponse>"_s
                   .arg(serviceBase.toHtmlEscaped(), PullPointPath)
                   .arg(id)
                   .arg(utc(now), utc(subscription.terminates))),
           false);
}

void PullPoints::pull(int id, const SoapRequest &request, const QDateTime &now, Answer answer)
{
    Subscription &subscription = subscriptions_.at(id);
    if (subscription.waiting)
        subscription.waiting->answer(fault(u"Another pull took this one's place"_s), true);
    const int limit = std::clamp(request.values.value(u"MessageLimit"_s, u"10"_s).toInt(), 1, int(MostQueued));
    Waiting waiting{std::move(answer), limit, nullptr};
    subscription.waiting = std::move(waiting);
    if (!subscription.messages.empty()) {
        answerPull(id, now);
        return;
    }
    const qint64 seconds = secondsFrom(request.values.value(u"Timeout"_s, u"PT10S"_s), now);
    auto deadline = std::make_unique<QTimer>();
    deadline->setSingleShot(true);
    connect(deadline.get(), &QTimer::timeout, this, [this, id] { answerPull(id, QDateTime::currentDateTimeUtc()); });
    deadline->start(static_cast<int>(std::clamp<qint64>(seconds * 1000, 0, LongestWaitMs)));
    subscription.waiting->deadline = std::move(deadline);
}

void PullPoints::answerPull(int id, const QDateTime &now)
{
    const auto found = subscriptions_.find(id);
    if (found == subscriptions_.end() || !found->second.waiting)
        return;
    Subscription &subscription = found->second;
    Waiting waiting = std::move(*subscription.waiting);
    subscription.waiting.reset();
    QString messages;
    for (int n = 0; n < waiting.limit && !subscription.messages.empty(); ++n) {
        messages += subscription.messages.front();
        subscription.messages.pop_front();
    }
    // The timer may be the one that called: it goes once this has returned.
    if (waiting.deadline)
        waiting.deadline.release()->deleteLater();
    waiting.answer(
        onvifanswers::Envelope(u"<tev:PullMessagesResponse><tev:CurrentTime>%1</tev:CurrentTime>"
                               "<tev:TerminationTime>%2</tev:TerminationTime>%3</tev:PullMessagesResponse>"_s.arg(
                                   utc(now), utc(subscription.terminates), messages)),
        false);
}

void PullPoints::SetMotion(bool moving, const QDateTime &at)
{
    if (moving == moving_)
        return;
    moving_ = moving;
    std::vector<int> waiting;
    for (auto &[id, subscription] : subscriptions_) {
        subscription.messages.push_back(message(moving, at, u"Changed"_s));
        if (subscription.messages.size() > MostQueued)
            subscription.messages.pop_front();
        if (subscription.waiting)
            waiting.push_back(id);
    }
    for (const int id : waiting)
        answerPull(id, at);
}

void PullPoints::endExpired()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto subscription = subscriptions_.begin(); subscription != subscriptions_.end();) {
        if (subscription->second.terminates > now) {
            ++subscription;
            continue;
        }
        std::optional<Waiting> waiting = std::move(subscription->second.waiting);
        subscription = subscriptions_.erase(subscription);
        if (waiting) {
            if (waiting->deadline)
                waiting->deadline.release()->deleteLater();
            waiting->answer(fault(u"The subscription ended"_s), true);
        }
    }
    if (subscriptions_.empty())
        expiry_.stop();
}

void PullPoints::Clear()
{
    for (auto &[id, subscription] : subscriptions_)
        subscription.terminates = QDateTime::fromSecsSinceEpoch(0);
    endExpired();
}

QString PullPoints::message(bool moving, const QDateTime &at, const QString &operation) const
{
    return u"<wsnt:NotificationMessage><wsnt:Topic Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/"
           "ConcreteSet\">tns1:RuleEngine/CellMotionDetector/Motion</wsnt:Topic><wsnt:Message>"
           "<tt:Message UtcTime=\"%1\" PropertyOperation=\"%2\"><tt:Source>"
           "<tt:SimpleItem Name=\"VideoSourceConfigurationToken\" Value=\"vantrel_camera_config\"/>"
           "<tt:SimpleItem Name=\"Rule\" Value=\"MotionInCells\"/></tt:Source>"
           "<tt:Data><tt:SimpleItem Name=\"IsMotion\" Value=\"%3\"/></tt:Data></tt:Message></wsnt:Message>"
           "</wsnt:NotificationMessage>"_s.arg(utc(at), operation, moving ? u"true"_s : u"false"_s);
}
