#pragma once

#include <QString>

class IniFile;

// What is recorded and how much is kept: section [FormRecording] of the settings file, whose
// keys scripts and home automation write too. Values out of range are brought into it.
struct RecordingSettings {
    enum class Mode { Off, Motion, Always };

    Mode mode = Mode::Off;
    QString folder; // empty: a "Vantrel Recordings" folder in the user's videos folder
    int preSeconds = 5;
    int postSeconds = 10;
    bool sound = true;
    int maxGB = 10;
    int maxDays = 30;
    int reserveGB = 1;
    double segmentMinutes = 15; // fractions too ("0.5"), from the file
    // Comparisons in a row that must find motion before a clip starts.
    int motionComparisons = 2;
    // Finished recordings sent to the snapshots' FTP server, into a folder of their own.
    bool upload = false;
    QString uploadFolder;

    static RecordingSettings Load(const IniFile &ini);
    void Save(IniFile &ini) const;

    // The folder recordings go to, the default one when none is set.
    QString Folder() const;
    static QString DefaultFolder();

    static QString ModeName(Mode mode);
    // Off for anything it does not know.
    static Mode ModeNamed(const QString &name);
};
