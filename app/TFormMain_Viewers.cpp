// Who may watch: the Viewers window, its keys in the settings file, and the stream viewers
// that were let in before a change.
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "base/settings/IniFile.h"
#include "live/LiveService.h"
#include "net/TServerClientWinSocket.h"
#include "net/TServerSocket.h"
#include "net/TServerWinSocket.h"
#include "server/MjpegStream.h"
#include "server/PasswordHash.h"
#include "server/RecorderPasswords.h"
#include "server/TFormViewers.h"

#include <QDateTime>
#include <QPointer>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The first viewer is also kept where a single viewer password always was, so that a file
// written by this version still protects the camera under an older one.
const QString SectionMain = u"FormMain"_s;
const QString KeyUser = u"ViewerUser"_s;
const QString KeyPassword = u"ViewerPassword"_s;
const QString KeyPasswordHash = u"ViewerPasswordHash"_s;
const QString SectionViewers = u"Viewers"_s;
const QString KeyCount = u"Count"_s;
constexpr int MostViewers = 100;

QString numbered(const char *key, int n) { return QString::fromLatin1(key) + QString::number(n); }

} // namespace

void TFormMain::createViewersWindow()
{
    FormViewers = std::make_unique<TFormViewers>();
    FormViewers->SetOwnerWindow(this);
    FormViewers->OnChosen = [this] { ViewersChosen(); };
    FormViewers->OnShare = [this] { showShareWindow(FormViewers.get()); };
    ConnectGuarded(Viewers1, &QAction::triggered, this, &TFormMain::Viewers1Click);
}

void TFormMain::Viewers1Click()
{
    FormViewers->show();
    FormViewers->raise();
    FormViewers->activateWindow();
}

// The choice goes into the settings file at once, not only with the other defaults: after a
// restart the camera must be exactly as protected as the user was told.
void TFormMain::ViewersChosen()
{
    keepRecorderPasswords(FormViewers->TakeRecorderPasswords());
    applyViewers();
    const size_t count = FormViewers->Accounts().size();
    AddToLog(count == 0   ? u"Viewer password removed: everyone may watch"_s
             : count == 1 ? u"Viewer password set: viewers must give the user name and password"_s
                          : u"Viewers set: %1 viewers, each with a name and password"_s.arg(count));
    IniFile ini(SettingsFileForWriting(), IniFile::Writes::Deferred);
    saveViewers(ini);
    ini.Save();
}

// The list when the file has one, else the single viewer of older versions. A password in
// clear text (from an older version, or written by a script) is the first viewer's: it is
// hashed now, and the next save replaces it with its hash.
void TFormMain::loadViewers(const IniFile &ini)
{
    std::vector<ViewerAccount> accounts;
    bool unreadable = false;
    const int count = ini.ReadInteger(SectionViewers, KeyCount, -1);
    if (count >= 0) {
        for (int n = 1; n <= std::min(count, MostViewers); ++n) {
            const QString hash = ini.ReadString(SectionViewers, numbered("PasswordHash", n), QString());
            if (!passwordhash::IsHash(hash)) {
                unreadable = unreadable || !hash.isEmpty();
                continue;
            }
            accounts.push_back(ViewerAccount{ini.ReadString(SectionViewers, numbered("Name", n), QString()), hash,
                                             ini.ReadBool(SectionViewers, numbered("Live", n), true),
                                             ini.ReadBool(SectionViewers, numbered("Recordings", n), true),
                                             ini.ReadBool(SectionViewers, numbered("Recorder", n), false)});
        }
    } else {
        const QString stored = ini.ReadString(SectionMain, KeyPasswordHash, QString());
        unreadable = !stored.isEmpty() && !passwordhash::IsHash(stored);
        if (passwordhash::IsHash(stored))
            accounts.push_back(ViewerAccount{ini.ReadString(SectionMain, KeyUser, QString()), stored});
    }
    const QString clear = ini.ReadString(SectionMain, KeyPassword, QString());
    if (!clear.isEmpty()) {
        const ViewerAccount first{ini.ReadString(SectionMain, KeyUser, QString()), passwordhash::Make(clear)};
        if (accounts.empty())
            accounts.push_back(first);
        else
            accounts.front() = ViewerAccount{first.name, first.passwordHash, accounts.front().mayWatchLive,
                                             accounts.front().mayWatchRecordings, accounts.front().recorder};
    }
    if (unreadable)
        AddToLog(u"A viewer password's hash in the settings file is not one this version reads: that viewer "
                 "is not let in"_s);
    FormViewers->SetAccounts(std::move(accounts));
    recorderPasswords_ = recorderpasswords::Load(recorderpasswords::PathBeside(SettingsFileForReading()->path()));
    keepRecorderPasswords({});
    applyViewers();
    if (viewerAccess_->Required())
        AddToLog(u"Viewer password on: viewers must give the user name and password"_s);
}

// Without viewers the file stays as it has always been, unless it had some before.
void TFormMain::saveViewers(IniFile &ini) const
{
    const std::vector<ViewerAccount> &accounts = FormViewers->Accounts();
    const int before = ini.ReadInteger(SectionViewers, KeyCount, 0);
    const bool hadOne = before > 0 || !ini.ReadString(SectionMain, KeyPassword, QString()).isEmpty() ||
                        !ini.ReadString(SectionMain, KeyPasswordHash, QString()).isEmpty();
    if (accounts.empty() && !hadOne)
        return;
    const ViewerAccount none{QString(), QString()};
    const ViewerAccount &first = accounts.empty() ? none : accounts.front();
    ini.WriteString(SectionMain, KeyUser, first.name);
    ini.WriteString(SectionMain, KeyPasswordHash, first.passwordHash);
    ini.DeleteKey(SectionMain, KeyPassword);
    const int count = static_cast<int>(accounts.size());
    ini.WriteInteger(SectionViewers, KeyCount, count);
    for (int n = 1; n <= count; ++n) {
        const ViewerAccount &account = accounts[n - 1];
        ini.WriteString(SectionViewers, numbered("Name", n), account.name);
        ini.WriteString(SectionViewers, numbered("PasswordHash", n), account.passwordHash);
        ini.WriteBool(SectionViewers, numbered("Live", n), account.mayWatchLive);
        ini.WriteBool(SectionViewers, numbered("Recordings", n), account.mayWatchRecordings);
        ini.WriteBool(SectionViewers, numbered("Recorder", n), account.recorder);
    }
    for (int n = count + 1; n <= before; ++n) {
        for (const char *key : {"Name", "PasswordHash", "Live", "Recordings", "Recorder"})
            ini.DeleteKey(SectionViewers, numbered(key, n));
    }
}

// Passwords are kept for the viewers recorders log in as, and for no other: one newly typed
// replaces the kept one, and a viewer no longer for recorders (or gone) loses it.
void TFormMain::keepRecorderPasswords(const recorderpasswords::Passwords &typed)
{
    recorderpasswords::Passwords kept;
    QStringList names;
    for (const ViewerAccount &account : FormViewers->Accounts()) {
        if (!account.recorder)
            continue;
        const auto found = typed.find(account.name);
        if (found != typed.end())
            kept[account.name] = found->second;
        else if (recorderPasswords_.count(account.name))
            kept[account.name] = recorderPasswords_.at(account.name);
        if (kept.count(account.name))
            names << account.name;
    }
    const bool changed = kept != recorderPasswords_;
    recorderPasswords_ = std::move(kept);
    FormViewers->SetRecorderNames(names);
    if (!changed)
        return;
    const QString failure =
        recorderpasswords::Save(recorderpasswords::PathBeside(SettingsFileForWriting()->path()), recorderPasswords_);
    if (!failure.isEmpty())
        AddToLog(u"The passwords kept for recorders could not be saved: "_s + failure);
}

void TFormMain::applyViewers()
{
    viewerAccess_->Set(FormViewers->Accounts());
    Live->SetViewerCheck(viewerAccess_->Required() ? rtspViewerCheck() : LiveService::ViewerCheck());
    // Viewers let in before would go on watching without it; they come back and are asked.
    if (viewerAccess_->Required())
        closeStreamViewers();
}

// RTSP's thread asks the same check and the same lockout as the web server; a lockout it
// starts is told on the GUI thread.
std::function<bool(const QByteArray &, const QByteArray &, const QString &)> TFormMain::rtspViewerCheck()
{
    return [access = viewerAccess_, lockout = lockout_, post = guiPost_.poster(), self = QPointer<TFormMain>(this)](
               const QByteArray &user, const QByteArray &password, const QString &address) {
        const QDateTime now = QDateTime::currentDateTime();
        if (lockout->Locked(address, now))
            return false;
        if (access->Admits(user, password))
            return true;
        if (lockout->Failed(address, now))
            post([self, address] {
                if (self)
                    self->lockoutStarted(address);
            });
        return false;
    };
}

void TFormMain::closeStreamViewers()
{
    const TServerWinSocket *listener = ServerSocket->Socket();
    std::vector<QPointer<TCustomWinSocket>> viewers;
    for (int i = 0; i < listener->ActiveConnections(); ++i) {
        if (Stream->IsViewer(listener->Connections(i)))
            viewers.emplace_back(listener->Connections(i));
    }
    for (const QPointer<TCustomWinSocket> &viewer : viewers) {
        if (viewer)
            viewer->CloseConnection();
    }
}
