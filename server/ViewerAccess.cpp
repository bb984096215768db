#include "server/ViewerAccess.h"

#include "base/ConstantTime.h"

#include "server/BasicCredentials.h"
#include "server/HttpFraming.h"
#include "server/PasswordHash.h"
#include "server/RequestDispatch.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <cstring>

namespace {

QByteArray digestOf(const QByteArray &text) { return QCryptographicHash::hash(text, QCryptographicHash::Sha256); }

bool isPlainTextCommand(request::Kind kind)
{
    return kind == request::Kind::Say || kind == request::Kind::Msg || kind == request::Kind::Quit ||
           kind == request::Kind::Status;
}

} // namespace

void ViewerAccess::Set(std::vector<ViewerAccount> accounts)
{
    const std::lock_guard lock(mutex_);
    passed_.clear();
    ++generation_;
    accounts_.clear();
    for (const ViewerAccount &account : accounts) {
        if (!account.passwordHash.isEmpty())
            accounts_.push_back(Known{digestOf(account.name.toUtf8()), account.passwordHash, account.mayWatchLive,
                                      account.mayWatchRecordings});
    }
    // A fresh key: what passed under other accounts means nothing now.
    key_ = QByteArray(32, Qt::Uninitialized);
    for (qsizetype i = 0; i < key_.size(); i += 4) {
        const quint32 word = QRandomGenerator::system()->generate();
        std::memcpy(key_.data() + i, &word, sizeof word);
    }
}

bool ViewerAccess::Required() const
{
    const std::lock_guard lock(mutex_);
    return !accounts_.empty();
}

bool ViewerAccess::ShowsRecordings(request::Kind kind)
{
    return kind == request::Kind::RecordingsList || kind == request::Kind::RecordingFile ||
           kind == request::Kind::RecordingsPage;
}

ViewerAccess::Verdict ViewerAccess::Judge(const QByteArray &requestText) const
{
    if (!Required())
        return Verdict::Admitted;
    const request::Kind kind = request::Classify(request::Head(requestText));
    if (!http::NamesHttpVersion(requestText) || isPlainTextCommand(kind))
        return Verdict::Closed;
    const std::optional<http::BasicCredentials> given = http::BasicCredentialsOf(requestText);
    if (!given)
        return Verdict::AskForPassword;
    const std::optional<Rights> rights = rightsOf(given->user, given->password);
    if (!rights)
        return Verdict::WrongPassword;
    // The start page and its title picture show nothing of either.
    const bool neither = kind == request::Kind::Index || kind == request::Kind::TitleImage;
    const bool allowed =
        neither ? rights->live || rights->recordings : (ShowsRecordings(kind) ? rights->recordings : rights->live);
    return allowed ? Verdict::Admitted : Verdict::NotAllowed;
}

bool ViewerAccess::NeedsSlowCheck(const QByteArray &requestText) const
{
    if (!http::NamesHttpVersion(requestText))
        return false;
    const std::optional<http::BasicCredentials> given = http::BasicCredentialsOf(requestText);
    if (!given)
        return false;
    const std::lock_guard lock(mutex_);
    return !accounts_.empty() && !remembered(keyed(given->user, given->password));
}

bool ViewerAccess::Admits(const QByteArray &user, const QByteArray &password) const
{
    if (!Required())
        return true;
    const std::optional<Rights> rights = rightsOf(user, password);
    return rights && rights->live;
}

QByteArray ViewerAccess::keyed(const QByteArray &user, const QByteArray &password) const
{
    return QMessageAuthenticationCode::hash(user + '\0' + password, key_, QCryptographicHash::Sha256);
}

std::optional<ViewerAccess::Rights> ViewerAccess::remembered(const QByteArray &mark) const
{
    std::optional<Rights> found;
    for (const Passed &passed : passed_) {
        if (SameBytesInConstantTime(passed.mark, mark))
            found = passed.rights;
    }
    return found;
}

std::optional<ViewerAccess::Rights> ViewerAccess::rightsOf(const QByteArray &user, const QByteArray &password) const
{
    std::unique_lock lock(mutex_);
    if (accounts_.empty())
        return std::nullopt;
    const QByteArray mark = keyed(user, password);
    if (const std::optional<Rights> known = remembered(mark))
        return known;
    const std::vector<Known> accounts = accounts_;
    const quint64 generation = generation_;
    lock.unlock();
    const QByteArray nameDigest = digestOf(user);
    std::optional<size_t> named;
    for (size_t i = 0; i < accounts.size(); ++i) {
        if (SameBytesInConstantTime(accounts[i].nameDigest, nameDigest))
            named = i;
    }
    // The slow check runs whatever the name, so the time does not tell whether it was one.
    const Known &account = accounts[named.value_or(0)];
    const bool passwordRight = passwordhash::Matches(account.passwordHash, password);
    if (!named || !passwordRight)
        return std::nullopt;
    const Rights rights{account.mayWatchLive, account.mayWatchRecordings};
    lock.lock();
    if (generation == generation_) {
        passed_.insert(passed_.begin(), Passed{mark, rights});
        if (passed_.size() > RememberedCredentials)
            passed_.pop_back();
    }
    return rights;
}
