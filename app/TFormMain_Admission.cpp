// Who is let in: with viewers set, every request gives a viewer's name and password or a share
// link, and an address that guessed wrong too often is locked out for a while. A password not
// seen before is checked on a thread of its own: its slow hash must not hold up the windows or
// the viewers already watching.
#include "app/TFormMain.h"
#include "base/seams/Seams.h"
#include "server/HttpFraming.h"
#include "server/ShareToken.h"

using namespace Qt::StringLiterals;

void TFormMain::admit(TCustomWinSocket *socket, const QByteArray &text)
{
    if (!viewerAccess_->Required()) {
        serveRequest(socket, text, {});
        return;
    }
    if (lockout_->Locked(socket->PeerAddress(), seams::Now())) {
        refuseLockedOut(socket, text);
        return;
    }
    QByteArray moreHead;
    if (http::NamesHttpVersion(text) && admittedByShareLink(socket, text, moreHead)) {
        serveRequest(socket, text, moreHead);
        return;
    }
    if (viewerAccess_->NeedsSlowCheck(text))
        checkSlowly(socket, text);
    else
        judged(socket, text, viewerAccess_->Judge(text));
}

void TFormMain::checkSlowly(TCustomWinSocket *socket, const QByteArray &text)
{
    if (!slowCheckQueue_ || slowChecks_.size() >= MostSlowChecks) {
        sendWhole(Reply{socket, true},
                  http::StatusResponse("503 Service Unavailable", "Retry-After: 1\r\n", "text/plain; charset=utf-8",
                                       "Too many logins at once: try again in a moment.\n"));
        return;
    }
    const quint64 id = nextSlowCheck_++;
    slowChecks_.emplace(id, SlowCheck{socket, text});
    // One thread, so one core at most for the slow hash: the other stays with the pictures.
    slowCheckQueue_->Add([this, id, access = viewerAccess_, text, post = guiPost_.poster()] {
        const ViewerAccess::Verdict verdict = access->Judge(text);
        // Posts run only while this window lives.
        post([this, id, verdict] { slowCheckDone(id, verdict); });
    });
}

void TFormMain::slowCheckDone(quint64 id, ViewerAccess::Verdict verdict)
{
    const auto found = slowChecks_.find(id);
    if (found == slowChecks_.end())
        return;
    const SlowCheck check = found->second;
    slowChecks_.erase(found);
    if (!check.socket || !check.socket->Connected())
        return;
    Guarded([&] {
        // Others from the same address may have locked it out meanwhile.
        if (lockout_->Locked(check.socket->PeerAddress(), seams::Now()))
            refuseLockedOut(check.socket, check.text);
        else
            judged(check.socket, check.text, verdict);
    })();
}

void TFormMain::judged(TCustomWinSocket *socket, const QByteArray &text, ViewerAccess::Verdict verdict)
{
    const QString peer = socket->PeerAddress();
    const QDateTime now = seams::Now();
    // A link given in the address that is no link (or no longer one) is a wrong password.
    const std::optional<http::ShareToken> share = http::ShareTokenOf(text);
    if (share && share->inAddress && verdict == ViewerAccess::Verdict::AskForPassword)
        verdict = ViewerAccess::Verdict::WrongPassword;
    if (verdict == ViewerAccess::Verdict::Admitted) {
        serveRequest(socket, text, {});
        return;
    }
    if (verdict == ViewerAccess::Verdict::WrongPassword && lockout_->Failed(peer, now))
        lockoutStarted(peer);
    if (refusalLog_.Allows(peer, now)) {
        AddToLog(verdict == ViewerAccess::Verdict::Closed
                     ? u"Refused a plain-text request from %1: it cannot give the viewer password"_s.arg(peer)
                 : verdict == ViewerAccess::Verdict::NotAllowed
                     ? u"Refused a request from %1: that viewer may not watch it"_s.arg(peer)
                     : u"Refused a request from %1: no or wrong viewer password"_s.arg(peer));
    }
    refuse(socket, verdict);
}

void TFormMain::refuse(TCustomWinSocket *socket, ViewerAccess::Verdict verdict)
{
    // A command cannot give a password: it is told why it gets no answer.
    const QByteArray answer =
        verdict == ViewerAccess::Verdict::Closed ? RefusedCommandLine
        : verdict == ViewerAccess::Verdict::NotAllowed
            ? http::TextResponse("403 Forbidden", QStringLiteral("This viewer may not watch this."))
            : http::UnauthorizedResponse();
    if (!socket->WriteStreamThenClose(Reply::BufferOf(answer)))
        socket->CloseConnection();
}

// Whatever the address gives while locked out, the right password included, gets 429.
void TFormMain::refuseLockedOut(TCustomWinSocket *socket, const QByteArray &text)
{
    const QByteArray answer = http::StatusResponse(
        "429 Too Many Requests", "Retry-After: " + QByteArray::number(LoginLockout::LockSeconds) + "\r\n",
        "text/plain; charset=utf-8", "Too many wrong passwords from this address: try again later.\n");
    if (!http::NamesHttpVersion(text) || !socket->WriteStreamThenClose(Reply::BufferOf(answer)))
        socket->CloseConnection();
}

void TFormMain::lockoutStarted(const QString &address)
{
    AddToLog(u"Locked out %1 for %2 minutes: %3 wrong viewer passwords within %4 minutes"_s.arg(address)
                 .arg(LoginLockout::LockSeconds / 60)
                 .arg(LoginLockout::Limit)
                 .arg(LoginLockout::WindowSeconds / 60));
    lockoutEnds_.start();
}

void TFormMain::endLockouts()
{
    for (const QString &address : lockout_->TakeEnded(seams::Now()))
        AddToLog(u"Lockout of %1 ended"_s.arg(address));
    if (!lockout_->AnyLocked())
        lockoutEnds_.stop();
}
