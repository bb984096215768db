// Going live on a streaming server: the "Go Live" window, wired to the live service's push,
// and its keys in the settings file.
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "base/settings/IniFile.h"
#include "base/widgets/WindowStyles.h"
#include "live/GoLive.h"
#include "live/LiveService.h"
#include "live/TFormGoLive.h"

#include <QLabel>

namespace {

const QString SectionGoLive = QStringLiteral("FormGoLive");
const QString KeyUrl = QStringLiteral("Url");
const QString KeyKey = QStringLiteral("Key");
const QString KeyBitrate = QStringLiteral("Bitrate");
const QString KeyAutoStart = QStringLiteral("AutoStart");

} // namespace

void TFormMain::createGoLive()
{
    FormGoLive = std::make_unique<TFormGoLive>();
    FormGoLive->OnGoLive = [this] {
        saveGoLiveChoices();
        startGoingLive();
    };
    FormGoLive->OnStop = [this] { Live->Push().Stop(); };
    FormGoLive->OnClosed = [this] { saveGoLiveChoices(); };
    // Where the user looks: on the main window while a push is on, as the recording's is.
    goLiveIndicator_ = new QLabel(ClientArea);
    goLiveIndicator_->setObjectName(QStringLiteral("GoLiveIndicator"));
    goLiveIndicator_->setStyleSheet(QStringLiteral("color: #1a4fa0; font-weight: bold;"));
    goLiveIndicator_->setGeometry(60, 252, 208, 16);
    goLiveIndicator_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    goLiveIndicator_->hide();
    connect(&Live->Push(), &GoLive::changed, this, [this] {
        FormGoLive->ShowState(Live->Push().StateText(), Live->Push().Active());
        showGoLiveState();
    });
    ConnectGuarded(GoLive1, &QAction::triggered, this, &TFormMain::GoLive1Click);
}

void TFormMain::showGoLiveState()
{
    const GoLive &push = Live->Push();
    QString text;
    if (push.phase() == GoLive::Phase::Live)
        text = QStringLiteral("Live on %1").arg(push.Host());
    else if (push.phase() == GoLive::Phase::Connecting)
        text = QStringLiteral("Connecting to %1...").arg(push.Host());
    else if (push.phase() == GoLive::Phase::Waiting)
        text = push.StateText().section(QStringLiteral(" ("), 0, 0); // "Reconnecting in N s"
    goLiveIndicator_->setText(text);
    goLiveIndicator_->setToolTip(push.StateText());
    goLiveIndicator_->setVisible(!text.isEmpty());
}

void TFormMain::GoLive1Click()
{
    // It belongs to the main window, and stays above it.
    windowstyle::OwnedBy(FormGoLive.get(), this);
    FormGoLive->show();
    FormGoLive->raise();
    FormGoLive->activateWindow();
}

void TFormMain::startGoingLive()
{
    Live->Push().Start(RtmpTarget(FormGoLive->Url(), FormGoLive->Key()), FormGoLive->Bitrate());
}

// Once, when the program has started: not again with "Load Defaults".
void TFormMain::goLiveAtStart()
{
    if (FormGoLive->AutoStart())
        startGoingLive();
}

void TFormMain::loadGoLiveSettings(const IniFile &ini)
{
    FormGoLive->SetChoices(ini.ReadString(SectionGoLive, KeyUrl, QString()),
                           ini.ReadString(SectionGoLive, KeyKey, QString()),
                           ini.ReadInteger(SectionGoLive, KeyBitrate, GoLive::DefaultBitrateKbps),
                           ini.ReadBool(SectionGoLive, KeyAutoStart, false));
}

// Nothing is written for a user who never filled the window in.
void TFormMain::saveGoLiveSettings(IniFile &ini) const
{
    const bool untouched = FormGoLive->Url().isEmpty() && FormGoLive->Key().isEmpty() &&
                           FormGoLive->Bitrate() == GoLive::DefaultBitrateKbps && !FormGoLive->AutoStart();
    if (untouched && ini.ReadString(SectionGoLive, KeyUrl, QStringLiteral("-")) == QStringLiteral("-"))
        return;
    ini.WriteString(SectionGoLive, KeyUrl, FormGoLive->Url());
    ini.WriteString(SectionGoLive, KeyKey, FormGoLive->Key());
    ini.WriteInteger(SectionGoLive, KeyBitrate, FormGoLive->Bitrate());
    ini.WriteBool(SectionGoLive, KeyAutoStart, FormGoLive->AutoStart());
}

// The window's choices go into the settings file as soon as they are used or the window
// closes, as the viewer password does: a restart goes live exactly where the user said.
void TFormMain::saveGoLiveChoices()
{
    IniFile ini(SettingsFileForWriting(), IniFile::Writes::Deferred);
    saveGoLiveSettings(ini);
    ini.Save();
}
