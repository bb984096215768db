#include "recording/RecordingSettings.h"

#include "base/settings/IniFile.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QString Section = QStringLiteral("FormRecording");

int bounded(int value, int least, int most) { return std::clamp(value, least, most); }

} // namespace

RecordingSettings RecordingSettings::Load(const IniFile &ini)
{
    RecordingSettings s;
    s.mode = ModeNamed(ini.ReadString(Section, QStringLiteral("Mode"), ModeName(s.mode)));
    s.folder = ini.ReadString(Section, QStringLiteral("Folder"), QString()).trimmed();
    s.preSeconds = bounded(ini.ReadInteger(Section, QStringLiteral("PreSeconds"), s.preSeconds), 0, 30);
    s.postSeconds = bounded(ini.ReadInteger(Section, QStringLiteral("PostSeconds"), s.postSeconds), 1, 600);
    s.sound = ini.ReadBool(Section, QStringLiteral("Sound"), s.sound);
    s.maxGB = bounded(ini.ReadInteger(Section, QStringLiteral("MaxGB"), s.maxGB), 1, 100000);
    s.maxDays = bounded(ini.ReadInteger(Section, QStringLiteral("MaxDays"), s.maxDays), 1, 36500);
    s.reserveGB = bounded(ini.ReadInteger(Section, QStringLiteral("ReserveGB"), s.reserveGB), 0, 100000);
    bool number = false;
    const double minutes =
        ini.ReadString(Section, QStringLiteral("SegmentMinutes"), QString()).trimmed().toDouble(&number);
    if (number)
        s.segmentMinutes = std::clamp(minutes, 0.05, 240.0);
    s.motionComparisons =
        bounded(ini.ReadInteger(Section, QStringLiteral("MotionComparisons"), s.motionComparisons), 1, 50);
    s.upload = ini.ReadBool(Section, QStringLiteral("FtpUpload"), s.upload);
    s.uploadFolder = ini.ReadString(Section, QStringLiteral("FtpFolder"), QString()).trimmed();
    return s;
}

void RecordingSettings::Save(IniFile &ini) const
{
    ini.WriteString(Section, QStringLiteral("Mode"), ModeName(mode));
    ini.WriteString(Section, QStringLiteral("Folder"), folder);
    ini.WriteInteger(Section, QStringLiteral("PreSeconds"), preSeconds);
    ini.WriteInteger(Section, QStringLiteral("PostSeconds"), postSeconds);
    ini.WriteBool(Section, QStringLiteral("Sound"), sound);
    ini.WriteInteger(Section, QStringLiteral("MaxGB"), maxGB);
    ini.WriteInteger(Section, QStringLiteral("MaxDays"), maxDays);
    ini.WriteInteger(Section, QStringLiteral("ReserveGB"), reserveGB);
    ini.WriteString(Section, QStringLiteral("SegmentMinutes"), QString::number(segmentMinutes));
    ini.WriteInteger(Section, QStringLiteral("MotionComparisons"), motionComparisons);
    ini.WriteBool(Section, QStringLiteral("FtpUpload"), upload);
    ini.WriteString(Section, QStringLiteral("FtpFolder"), uploadFolder);
}

QString RecordingSettings::Folder() const { return folder.isEmpty() ? DefaultFolder() : folder; }

QString RecordingSettings::DefaultFolder()
{
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (videos.isEmpty())
        videos = QDir::homePath();
    return QDir(videos).filePath(QStringLiteral("Vantrel Recordings"));
}

QString RecordingSettings::ModeName(Mode mode)
{
    switch (mode) {
    case Mode::Motion:
        return QStringLiteral("Motion");
    case Mode::Always:
        return QStringLiteral("Always");
    case Mode::Off:
        break;
    }
    return QStringLiteral("Off");
}

RecordingSettings::Mode RecordingSettings::ModeNamed(const QString &name)
{
    const QString n = name.trimmed();
    if (n.compare(QStringLiteral("Motion"), Qt::CaseInsensitive) == 0)
        return Mode::Motion;
    if (n.compare(QStringLiteral("Always"), Qt::CaseInsensitive) == 0)
        return Mode::Always;
    return Mode::Off;
}
