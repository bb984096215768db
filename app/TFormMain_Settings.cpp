// The settings file: loading it into the controls and saving the controls to it.
#include "app/Globals.h"
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "base/seams/Seams.h"
#include "base/settings/IniFile.h"
#include "publish/TFormPublish.h"
#include "snapshot/SnapshotSettingsFile.h"
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"

namespace {

const QString SectionMain = QStringLiteral("FormMain");

// A saved position or size applies only when it is 0 or more.
void loadPosition(const IniFile &ini, const QString &section, QWidget *window)
{
    const int top = ini.ReadInteger(section, QStringLiteral("Top"), -1);
    const int left = ini.ReadInteger(section, QStringLiteral("Left"), -1);
    if (top < 0 && left < 0)
        return; // leave the window where the system put it
    window->move(left >= 0 ? left : window->x(), top >= 0 ? top : window->y());
}

void savePosition(IniFile &ini, const QString &section, const QWidget *window)
{
    ini.WriteInteger(section, QStringLiteral("Top"), window->y());
    ini.WriteInteger(section, QStringLiteral("Left"), window->x());
}

// A saved size applies the same way, each of height and width on its own.
void loadSize(const IniFile &ini, const QString &section, QWidget *window)
{
    const int height = ini.ReadInteger(section, QStringLiteral("Height"), -1);
    const int width = ini.ReadInteger(section, QStringLiteral("Width"), -1);
    if (height < 0 && width < 0)
        return;
    window->resize(width >= 0 ? width : window->width(), height >= 0 ? height : window->height());
}

void saveSize(IniFile &ini, const QString &section, const QWidget *window)
{
    ini.WriteInteger(section, QStringLiteral("Height"), window->height());
    ini.WriteInteger(section, QStringLiteral("Width"), window->width());
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

void saveStatisticsWindows(IniFile &ini)
{
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
    onSignal(Savesettingstofile1, &QAction::triggered, &TFormMain::Savesettingstofile1Click);
    onSignal(LoadDefaults1, &QAction::triggered, &TFormMain::LoadDefaults1Click);
}

void TFormMain::LoadSettings()
{
    const IniFile ini(SettingsFileLocation());
    SpinEdit->setValue(ini.ReadInteger(SectionMain, QStringLiteral("Port"), 8282));
    JPEGQuality->setValue(ini.ReadInteger(SectionMain, QStringLiteral("JPEGQuality"), 75));
    AutoTime->setValue(ini.ReadInteger(SectionMain, QStringLiteral("AutoTime"), 10));
    CheckBox->setChecked(ini.ReadBool(SectionMain, QStringLiteral("Enabled"), false));
    AutoCapture->setChecked(ini.ReadBool(SectionMain, QStringLiteral("AutoCapture"), false));
    LoadSnapshotSettings(ini, *FormSnapshotSettings);
    loadPosition(ini, SectionMain, this);
    loadPublishWindow(ini);
    loadStatisticsWindows(ini);
    AddToLog(QStringLiteral("Loaded saved default settings"));
}

void TFormMain::SaveSettings()
{
    IniFile ini(SettingsFileLocation());
    ini.WriteInteger(SectionMain, QStringLiteral("Port"), SpinEdit->value());
    ini.WriteInteger(SectionMain, QStringLiteral("JPEGQuality"), JPEGQuality->value());
    ini.WriteInteger(SectionMain, QStringLiteral("AutoTime"), AutoTime->value());
    savePosition(ini, SectionMain, this);
    ini.WriteBool(SectionMain, QStringLiteral("Enabled"), CheckBox->isChecked());
    ini.WriteBool(SectionMain, QStringLiteral("AutoCapture"), AutoCapture->isChecked());
    SaveSnapshotSettings(ini, *FormSnapshotSettings);
    savePublishWindow(ini);
    saveStatisticsWindows(ini);
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
