#include "server/ViewerAccess.h"

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

// Zero only when the two digests are equal; every byte is looked at whatever the others hold.
unsigned differingBits(const QByteArray &expected, const QByteArray &given)
{
    volatile unsigned difference = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        difference = difference | static_cast<unsigned char>(expected.at(i) ^ given.at(i));
    return difference;
}

bool isPlainTextCommand(request::Kind kind)
{
    return kind == request::Kind::Say || kind == request::Kind::Msg || kind == request::Kind::Quit ||
           kind == request::Kind::Status;
}

} // namespace

void ViewerAccess::Set(const QString &user, const QString &passwordHash)
{
    const std::lock_guard lock(mutex_);
    passed_.clear();
    passwordHash_ = passwordHash;
    userDigest_ = passwordHash.isEmpty() ? QByteArray() : digestOf(user.toUtf8());
    // A fresh key: what passed under another password means nothing now.
    key_ = QByteArray(32, Qt::Uninitialized);
    for (qsizetype i = 0; i < key_.size(); i += 4) {
        const quint32 word = QRandomGenerator::system()->generate();
        std::memcpy(key_.data() + i, &word, sizeof word);
    }
}

bool ViewerAccess::Required() const
{
    const std::lock_guard lock(mutex_);
    return !passwordHash_.isEmpty();
}

ViewerAccess::Verdict ViewerAccess::Judge(const QByteArray &requestText) const
{
    if (!Required())
        return Verdict::Admitted;
    if (!http::NamesHttpVersion(requestText) || isPlainTextCommand(request::Classify(request::Head(requestText))))
        return Verdict::Closed;
    return judgeCredentials(requestText);
}

ViewerAccess::Verdict ViewerAccess::judgeCredentials(const QByteArray &requestText) const
{
    const std::optional<http::BasicCredentials> given = http::BasicCredentialsOf(requestText);
    if (!given)
        return Verdict::AskForPassword;
    return Admits(given->user, given->password) ? Verdict::Admitted : Verdict::WrongPassword;
}

QByteArray ViewerAccess::keyed(const QByteArray &user, const QByteArray &password) const
{
    return QMessageAuthenticationCode::hash(user + '\0' + password, key_, QCryptographicHash::Sha256);
}

bool ViewerAccess::Admits(const QByteArray &user, const QByteArray &password) const
{
    std::unique_lock lock(mutex_);
    if (passwordHash_.isEmpty())
        return true;
    const QByteArray mark = keyed(user, password);
    unsigned seen = 1;
    for (const QByteArray &passed : passed_)
        seen &= differingBits(passed, mark) == 0 ? 0u : 1u;
    if (seen == 0)
        return true;
    const QString hash = passwordHash_;
    const QByteArray userDigest = userDigest_;
    lock.unlock();
    // The slow check runs whatever the user name, so the time does not tell whether it was right.
    const bool passwordRight = passwordhash::Matches(hash, password);
    const bool admitted = (differingBits(userDigest, digestOf(user)) == 0) & passwordRight;
    lock.lock();
    if (admitted && passwordHash_ == hash) {
        passed_.insert(passed_.begin(), mark);
        if (passed_.size() > RememberedCredentials)
            passed_.pop_back();
    }
    return admitted;
}
