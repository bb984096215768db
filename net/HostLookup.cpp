#include "net/HostLookup.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// The receiver's end of one lookup: it lives in the receiver's thread, as its child, and
// holds the callback there. The resolving thread only ever posts the answer to it.
class Answer : public QObject {
public:
    Answer(QObject *receiver, std::function<void(const QHostInfo &)> answered)
        : QObject(receiver), answered_(std::move(answered))
    {
    }

    void Deliver(const QHostInfo &info)
    {
        const std::function<void(const QHostInfo &)> answered = std::move(answered_);
        deleteLater();
        answered(info);
    }

private:
    std::function<void(const QHostInfo &)> answered_;
};

// What the resolving thread shares with the receiver's thread: the answer's end, cleared
// under the lock when the receiver goes away. An event posted before that is removed with
// the object, so a late answer finds nobody.
struct Mailbox {
    std::mutex mutex;
    Answer *answer = nullptr;

    void Post(const QHostInfo &info)
    {
        const std::lock_guard lock(mutex);
        if (answer)
            QMetaObject::invokeMethod(
                answer, [target = answer, info] { target->Deliver(info); }, Qt::QueuedConnection);
    }
};

// Below 0 and below -1 (which callers use for "no lookup"): never an id of QHostInfo's.
int nextLookupId()
{
    static std::atomic<int> last{-1};
    return --last;
}

int lookUpOnOwnThread(const QString &name, QObject *receiver, std::function<void(const QHostInfo &)> answered)
{
    auto mailbox = std::make_shared<Mailbox>();
    mailbox->answer = new Answer(receiver, std::move(answered));
    QObject::connect(mailbox->answer, &QObject::destroyed, [mailbox] {
        const std::lock_guard lock(mailbox->mutex);
        mailbox->answer = nullptr;
    });
    // Taken here, on the caller's thread: a test may put the seam back while this one runs.
    std::function<QHostInfo(const QString &)> resolve = seams::ResolveHostName.active();
    std::thread([name, mailbox, resolve = std::move(resolve)] { mailbox->Post(resolve(name)); }).detach();
    return nextLookupId();
}

} // namespace

namespace seams {

Seam<int(const QString &, QObject *, std::function<void(const QHostInfo &)>)> LookupHost{lookUpOnOwnThread};

} // namespace seams
