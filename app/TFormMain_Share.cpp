// Share links: made and revoked in the Share window, kept (by their digests) in the settings
// file, and ended on time. A viewer a link let in goes when the link does, open streams and
// WebRTC viewers included.
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "base/seams/Seams.h"
#include "base/settings/IniFile.h"
#include "live/LiveService.h"
#include "net/TServerClientWinSocket.h"
#include "net/TServerSocket.h"
#include "net/TServerWinSocket.h"
#include "server/ComputerAddresses.h"
#include "server/ShareToken.h"
#include "server/TFormShare.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

// The link a connection was let in by, as a property of the connection.
const char *const ShareProperty = "vantrelShareLink";
const QString SectionShare = u"ShareLinks"_s;
// Expiry is looked at again at least this often, whatever the clock does meanwhile.
constexpr qint64 LongestExpiryWaitMs = 60 * 60 * 1000;

QString lifetimeText(const ShareLink &link)
{
    return link.expires.isValid() ? u"until %1"_s.arg(link.expires.toLocalTime().toString(u"yyyy-MM-dd hh:mm"_s))
                                  : u"until revoked"_s;
}

} // namespace

void TFormMain::createShareWindow()
{
    FormShare = std::make_unique<TFormShare>();
    FormShare->OnMake = [this](ShareLinks::Lifetime lifetime, bool mayWatchRecordings) {
        return makeShareLink(lifetime, mayWatchRecordings);
    };
    FormShare->OnRevoke = [this](const QString &id) { revokeShareLink(id); };
    shareExpiry_.setSingleShot(true);
    shareExpiry_.setTimerType(Qt::PreciseTimer);
    ConnectGuarded(&shareExpiry_, &QTimer::timeout, this, &TFormMain::endExpiredShareLinks);
    ConnectGuarded(Share1, &QAction::triggered, this, &TFormMain::Share1Click);
}

void TFormMain::Share1Click() { showShareWindow(this); }

void TFormMain::showShareWindow(QWidget *owner)
{
    FormShare->SetOwnerWindow(owner);
    FormShare->SetNotice(viewerAccess_->Required()
                             ? QString()
                             : u"No viewer is set (File, Viewers): everyone may watch now, with or without a link."_s);
    FormShare->ShowLinks(shareLinks_.All());
    FormShare->show();
    FormShare->raise();
    FormShare->activateWindow();
}

// The address the user would give out: the one the URL box shows, or else the computer's first.
QString TFormMain::shareAddressBase() const
{
    const QString shown = Url->currentText();
    if (shown.startsWith(u"http"_s) && shown.endsWith(u'/'))
        return shown;
    return u"%1://%2:%3/"_s.arg(HttpsOn() ? u"https" : u"http", computer::Addresses().value(0, u"127.0.0.1"_s))
        .arg(SpinEdit->value());
}

std::pair<QString, QString> TFormMain::makeShareLink(ShareLinks::Lifetime lifetime, bool mayWatchRecordings)
{
    const ShareLinks::Made made = shareLinks_.Make(lifetime, mayWatchRecordings, seams::Now());
    AddToLog(u"Share link %1 made: it lets whoever has it watch%2, %3"_s.arg(made.link.id)
                 .arg(mayWatchRecordings ? u" live and the recordings"_s : u" live"_s, lifetimeText(made.link)));
    followShareLinks();
    return {shareAddressBase() + u"live?share="_s + QString::fromLatin1(made.token), QString()};
}

void TFormMain::revokeShareLink(const QString &id)
{
    if (!shareLinks_.Revoke(id))
        return;
    AddToLog(u"Share link %1 revoked"_s.arg(id));
    closeShareViewers({id});
    followShareLinks();
}

void TFormMain::endExpiredShareLinks()
{
    QStringList ids;
    for (const ShareLink &link : shareLinks_.TakeExpired(seams::Now())) {
        AddToLog(u"Share link %1 expired"_s.arg(link.id));
        ids << link.id;
    }
    if (!ids.isEmpty()) {
        closeShareViewers(ids);
        followShareLinks();
    } else {
        shareExpiry_.start(static_cast<int>(std::min(LongestExpiryWaitMs, nextExpiryWait())));
    }
}

// After every change: the file, the window and the next expiry follow the list.
void TFormMain::followShareLinks()
{
    IniFile ini(SettingsFileForWriting(), IniFile::Writes::Deferred);
    saveShareLinks(ini);
    ini.Save();
    if (FormShare->isVisible())
        FormShare->ShowLinks(shareLinks_.All());
    if (shareLinks_.NextExpiry())
        shareExpiry_.start(static_cast<int>(std::min(LongestExpiryWaitMs, nextExpiryWait())));
    else
        shareExpiry_.stop();
}

qint64 TFormMain::nextExpiryWait() const
{
    const std::optional<QDateTime> next = shareLinks_.NextExpiry();
    return next ? std::max<qint64>(0, seams::Now().msecsTo(*next)) + 5 : LongestExpiryWaitMs;
}

void TFormMain::closeShareViewers(const QStringList &ids)
{
    const TServerWinSocket *listener = ServerSocket->Socket();
    std::vector<QPointer<TCustomWinSocket>> viewers;
    for (int i = 0; i < listener->ActiveConnections(); ++i) {
        TCustomWinSocket *connection = listener->Connections(i);
        if (ids.contains(connection->property(ShareProperty).toString()))
            viewers.emplace_back(connection);
    }
    for (const QPointer<TCustomWinSocket> &viewer : viewers) {
        if (viewer)
            viewer->CloseConnection();
    }
    for (auto entry = shareWhep_.begin(); entry != shareWhep_.end();) {
        if (ids.contains(entry->second)) {
            Live->EndViewer(entry->first);
            entry = shareWhep_.erase(entry);
        } else {
            ++entry;
        }
    }
}

bool TFormMain::admittedByShareLink(TCustomWinSocket *socket, const QByteArray &text, QByteArray &moreHead)
{
    socket->setProperty(ShareProperty, QVariant());
    const std::optional<http::ShareToken> share = http::ShareTokenOf(text);
    if (!share)
        return false;
    const QDateTime now = seams::Now();
    const std::optional<ShareLink> link = shareLinks_.Find(share->token, now);
    if (!link)
        return false;
    if (ViewerAccess::ShowsRecordings(request::Classify(request::Head(text))) && !link->mayWatchRecordings)
        return false;
    socket->setProperty(ShareProperty, link->id);
    if (share->inAddress)
        moreHead = http::ShareCookieLine(share->token, link->expires.isValid() ? now.secsTo(link->expires) : 0,
                                         socket->Encrypted());
    return true;
}

// A WebRTC viewer let in by a link is remembered with it; viewers that have gone are forgotten.
void TFormMain::noteShareViewer(const Reply &reply, const QByteArray &resource)
{
    if (!reply.socket || !reply.socket->property(ShareProperty).isValid())
        return;
    std::erase_if(shareWhep_, [live = Live.get()](const auto &entry) { return !live->HasViewer(entry.first); });
    shareWhep_[resource] = reply.socket->property(ShareProperty).toString();
}

void TFormMain::loadShareLinks(const IniFile &ini)
{
    QStringList lines;
    const int count = std::min(ini.ReadInteger(SectionShare, u"Count"_s, 0), int(ShareLinks::Most));
    for (int n = 1; n <= count; ++n)
        lines << ini.ReadString(SectionShare, u"Link%1"_s.arg(n), QString());
    shareLinks_.SetLines(lines);
    if (shareLinks_.NextExpiry())
        shareExpiry_.start(static_cast<int>(std::min(LongestExpiryWaitMs, nextExpiryWait())));
}

void TFormMain::saveShareLinks(IniFile &ini) const
{
    const int before = ini.ReadInteger(SectionShare, u"Count"_s, 0);
    const QStringList lines = shareLinks_.Lines();
    if (lines.isEmpty() && before == 0)
        return;
    ini.WriteInteger(SectionShare, u"Count"_s, static_cast<int>(lines.size()));
    for (int n = 1; n <= lines.size(); ++n)
        ini.WriteString(SectionShare, u"Link%1"_s.arg(n), lines[n - 1]);
    for (int n = static_cast<int>(lines.size()) + 1; n <= before; ++n)
        ini.DeleteKey(SectionShare, u"Link%1"_s.arg(n));
}
