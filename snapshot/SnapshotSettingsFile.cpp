#include "snapshot/SnapshotSettingsFile.h"

#include "base/settings/IniFile.h"
#include "snapshot/TFormSnapshotSettings.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

const QString Section = u"FormSnapshotSettings"_s;

} // namespace

void LoadSnapshotSettings(const IniFile &ini, TFormSnapshotSettings &window)
{
    window.Edit_LocalSaveDir->setText(ini.ReadString(Section, u"LocalSaveDir"_s, QDir::currentPath()));
    window.Edit_ManualFilename->setText(ini.ReadString(Section, u"Filename"_s, QString()));
    window.CheckBox_FTP->setChecked(ini.ReadBool(Section, u"FTP"_s, false));
    window.CheckBox_Local->setChecked(ini.ReadBool(Section, u"Local"_s, true));
    window.Edit_FTPRemoteAddress->setText(ini.ReadString(Section, u"FTPRemoteAddress"_s, QString()));
    window.Edit_FTPRemoteDir->setText(ini.ReadString(Section, u"FTPRemoteDir"_s, QString()));
    window.SpinEdit_FTPRemotePort->setValue(ini.ReadInteger(Section, u"FTPRemotePort"_s, 21));
    window.Edit_FTPUsername->setText(ini.ReadString(Section, u"FTPUsername"_s, QString()));
    window.Edit_FTPPassword->setText(ini.ReadString(Section, u"FTPPassword"_s, QString()));
    window.CheckBox_MotionDetection->setChecked(ini.ReadBool(Section, u"MotionDetection"_s, false));
    window.ScrollBar_MotionDetectionSensitivity->setValue(
        ini.ReadInteger(Section, u"MotionDetectionSensitivity"_s, 50));
    window.CheckBox_FTPPassive->setChecked(ini.ReadBool(Section, u"FTPPassive"_s, false));
}

// "LOCAL" names the key read as "Local": keys compare without regard to case.
void SaveSnapshotSettings(IniFile &ini, const TFormSnapshotSettings &window)
{
    ini.WriteString(Section, u"LocalSaveDir"_s, window.Edit_LocalSaveDir->text());
    ini.WriteString(Section, u"Filename"_s, window.Edit_ManualFilename->text());
    ini.WriteBool(Section, u"FTP"_s, window.CheckBox_FTP->isChecked());
    ini.WriteBool(Section, u"LOCAL"_s, window.CheckBox_Local->isChecked());
    ini.WriteString(Section, u"FTPRemoteAddress"_s, window.Edit_FTPRemoteAddress->text());
    ini.WriteString(Section, u"FTPRemoteDir"_s, window.Edit_FTPRemoteDir->text());
    ini.WriteInteger(Section, u"FTPRemotePort"_s, window.SpinEdit_FTPRemotePort->value());
    ini.WriteString(Section, u"FTPUsername"_s, window.Edit_FTPUsername->text());
    ini.WriteString(Section, u"FTPPassword"_s, window.Edit_FTPPassword->text());
    ini.WriteBool(Section, u"MotionDetection"_s, window.CheckBox_MotionDetection->isChecked());
    ini.WriteInteger(Section, u"MotionDetectionSensitivity"_s, window.ScrollBar_MotionDetectionSensitivity->value());
    ini.WriteBool(Section, u"FTPPassive"_s, window.CheckBox_FTPPassive->isChecked());
}
