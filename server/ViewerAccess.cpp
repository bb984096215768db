#include "server/ViewerAccess.h"

#include "server/BasicCredentials.h"
#include "server/HttpFraming.h"
#include "server/RequestDispatch.h"

#include <QCryptographicHash>

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

void ViewerAccess::Set(const QString &user, const QString &password)
{
    if (password.isEmpty()) {
        userDigest_.clear();
        passwordDigest_.clear();
        return;
    }
    userDigest_ = digestOf(user.toUtf8());
    passwordDigest_ = digestOf(password.toUtf8());
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
    const http::BasicCredentials credentials = given.value_or(http::BasicCredentials{});
    // Both comparisons always run, also for a request without credentials.
    const unsigned difference = differingBits(userDigest_, digestOf(credentials.user)) |
                                differingBits(passwordDigest_, digestOf(credentials.password));
    if (!given)
        return Verdict::AskForPassword;
    return difference == 0 ? Verdict::Admitted : Verdict::WrongPassword;
}
