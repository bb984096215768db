// The settings file: loading it into the controls and saving the controls to it.
#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "base/seams/Seams.h"
#include "base/settings/IniFile.h"
#include "base/widgets/WindowPlacement.h"
#include "capture/TFormPreview.h"
#include "publish/TFormPublish.h"
#include "snapshot/SnapshotSettingsFile.h"
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"

#include <QTimer>

#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString SectionMain = QStringLiteral("FormMain");

// A saved position or size applies only when it is 0 or more; positions and
// sizes are the windows' outer rectangles.
std::optional<int> readPlacement(const IniFile &ini, const QString &section, const QString &key)
{
    const int value = ini.ReadInteger(section, key, -1);
    return value >= 0 ? std::optional<int>(value) : std::nullopt;
}

void loadPosition(const IniFile &ini, const QString &section, QWidget *window)
{
    windowplacement::MoveOuter(window, readPlacement(ini, section, QStringLiteral("Left")),
                               readPlacement(ini, section, QStringLiteral("Top")));
}

// With no saved place, the main window goes where the system puts it, as long
// as that is not under the always-on-top preview.
void loadMainWindowPosition(const IniFile &ini, QWidget *window)
{
    const std::optional<int> left = readPlacement(ini, SectionMain, QStringLiteral("Left"));
    const std::optional<int> top = readPlacement(ini, SectionMain, QStringLiteral("Top"));
    if (left || top)
        windowplacement::MoveOuter(window, left, top);
    else
        windowplacement::PlaceClearOf(window, FormPreview);
}

void savePosition(IniFile &ini, const QString &section, const QWidget *window)
{
    const QRect outer = windowplacement::OuterRect(window);
    ini.WriteInteger(section, QStringLiteral("Top"), outer.y());
    ini.WriteInteger(section, QStringLiteral("Left"), outer.x());
}

void loadSize(const IniFile &ini, const QString &section, QWidget *window)
{
    const std::optional<int> height = readPlacement(ini, section, QStringLiteral("Height"));
    const std::optional<int> width = readPlacement(ini, section, QStringLiteral("Width"));
    if (!height && !width)
        return;
    const QSize outer = windowplacement::OuterRect(window).size();
    windowplacement::ResizeOuter(window, QSize(width.value_or(outer.width()), height.value_or(outer.height())));
}

void saveSize(IniFile &ini, const QString &section, const QWidget *window)
{
    const QSize outer = windowplacement::OuterRect(window).size();
    ini.WriteInteger(section, QStringLiteral("Height"), outer.height());
    ini.WriteInteger(section, QStringLiteral("Width"), outer.width());
}

// The statistics windows: the chart's interval, position and size, the
// other two windows' positions.
const QString SectionChart = QStringLiteral("FormChart");
const QString SectionBandwidth = QStringLiteral("FormBandwidth");
const QString SectionRequestedIPs = QStringLiteral("FormRequestedIPs");

void loadStatisticsWindows(const IniFile &ini)
{
    FormChart->SpinEditChartUpdate->setValue(ini.ReadInteger(SectionChart, QStringLiteral("ChartUpdate"), 60));
    loadPosition(ini, SectionChart, FormChart);
    loadSize(ini, SectionChart, FormChart);
    loadPosition(ini, SectionBandwidth, FormBandwidth);
    loadPosition(ini, SectionRequestedIPs, FormRequestedIPs);
}

// Whether each statistics window was open: written once one was open at a save.
const QString KeyOpen = QStringLiteral("Open");

QList<QWidget *> statisticsWindowsOpen(const IniFile &ini)
{
    QList<QWidget *> open;
    for (const auto &[section, window] : {std::pair<QString, QWidget *>{SectionChart, FormChart},
                                          {SectionRequestedIPs, FormRequestedIPs},
                                          {SectionBandwidth, FormBandwidth}})
        if (ini.ReadBool(section, KeyOpen, false))
            open.append(window);
    return open;
}

void saveOpen(IniFile &ini, const QString &section, const QWidget *window)
{
    if (window->isVisible() || !ini.ReadString(section, KeyOpen, QString()).isEmpty())
        ini.WriteBool(section, KeyOpen, window->isVisible());
}

void saveStatisticsWindows(IniFile &ini)
{
    saveOpen(ini, SectionChart, FormChart);
    saveOpen(ini, SectionBandwidth, FormBandwidth);
    saveOpen(ini, SectionRequestedIPs, FormRequestedIPs);
    ini.WriteInteger(SectionChart, QStringLiteral("ChartUpdate"), FormChart->SpinEditChartUpdate->value());
    savePosition(ini, SectionChart, FormChart);
    saveSize(ini, SectionChart, FormChart);
    savePosition(ini, SectionBandwidth, FormBandwidth);
    savePosition(ini, SectionRequestedIPs, FormRequestedIPs);
}

// The publish window's display name and description.
const QString SectionPublish = QStringLiteral("FormPublish");

void loadPublishWindow(const IniFile &ini)
{
    FormPublish->Edit_Handle->setText(ini.ReadString(SectionPublish, QStringLiteral("Handle"), QString()));
    FormPublish->Edit_Description->setText(
        ini.ReadString(SectionPublish, QStringLiteral("Description"), QStringLiteral("No Description")));
}

void savePublishWindow(IniFile &ini)
{
    ini.WriteString(SectionPublish, QStringLiteral("Handle"), FormPublish->Edit_Handle->text());
    ini.WriteString(SectionPublish, QStringLiteral("Description"), FormPublish->Edit_Description->text());
}

} // namespace

void TFormMain::connectSettingsHandlers()
{
    ConnectGuarded(Savesettingstofile1, &QAction::triggered, this, &TFormMain::Savesettingstofile1Click);
    ConnectGuarded(LoadDefaults1, &QAction::triggered, this, &TFormMain::LoadDefaults1Click);
}

void TFormMain::LoadSettings()
{
    const IniFile ini(SettingsFileForReading());
    if (!ini.Unreadable().isEmpty())
        AddToLog(u"Settings file %1 could not be read (%2): defaults used, and saving will not replace it"_s.arg(
            ini.Path(), ini.Unreadable()));
    SpinEdit->setValue(ini.ReadInteger(SectionMain, QStringLiteral("Port"), 8282));
    JPEGQuality->setValue(ini.ReadInteger(SectionMain, QStringLiteral("JPEGQuality"), 75));
    AutoTime->setValue(ini.ReadInteger(SectionMain, QStringLiteral("AutoTime"), 10));
    // Before the server starts: a box opened while it starts lets requests in.
    loadViewers(ini);
    loadShareLinks(ini);
    loadHttpsSettings(ini);
    loadLiveSettings(ini);
    loadGoLiveSettings(ini);
    CheckBox->setChecked(ini.ReadBool(SectionMain, QStringLiteral("Enabled"), false));
    AutoCapture->setChecked(ini.ReadBool(SectionMain, QStringLiteral("AutoCapture"), false));
    LoadSnapshotSettings(ini, *FormSnapshotSettings);
    loadRecordingSettings(ini);
    loadOnvifSettings(ini);
    loadMainWindowPosition(ini, this);
    loadPublishWindow(ini);
    loadStatisticsWindows(ini);
    // The statistics windows open at the start come up once the main window is on screen.
    if (!RunsHeadless)
        for (QWidget *window : statisticsWindowsOpen(ini))
            QTimer::singleShot(0, this, [this, window] { showStatisticsWindow(window, false); });
    AddToLog(QStringLiteral("Loaded saved default settings"));
}

void TFormMain::SaveSettings()
{
    // Every key is set in memory first, and the file is written once.
    IniFile ini(SettingsFileForWriting(), IniFile::Writes::Deferred);
    ini.WriteInteger(SectionMain, QStringLiteral("Port"), SpinEdit->value());
    ini.WriteInteger(SectionMain, QStringLiteral("JPEGQuality"), JPEGQuality->value());
    ini.WriteInteger(SectionMain, QStringLiteral("AutoTime"), AutoTime->value());
    savePosition(ini, SectionMain, this);
    ini.WriteBool(SectionMain, QStringLiteral("Enabled"), CheckBox->isChecked());
    ini.WriteBool(SectionMain, QStringLiteral("AutoCapture"), AutoCapture->isChecked());
    saveViewers(ini);
    saveShareLinks(ini);
    saveHttpsSettings(ini);
    saveLiveSettings(ini);
    saveGoLiveSettings(ini);
    SaveSnapshotSettings(ini, *FormSnapshotSettings);
    saveRecordingSettings(ini);
    saveOnvifSettings(ini);
    savePublishWindow(ini);
    saveStatisticsWindows(ini);
    ini.Save();
    AddToLog(QStringLiteral("Saved default settings"));
}

void TFormMain::LoadDefaults1Click()
{
    CheckBox->setChecked(false);
    LoadSettings();
}

void TFormMain::Savesettingstofile1Click()
{
    SaveSettings();
    seams::ShowMessage(this, QStringLiteral("Saved Defaults"),
                       QStringLiteral("All options, window locations, and sizes have been saved."));
}
