#pragma once

class IniFile;
class TFormSnapshotSettings;

// The snapshot settings window's keys in the settings file, section
// "FormSnapshotSettings", in the order they are loaded and saved.
// Loading sets the controls, so their change handlers run as for a user's
// change; a missing "LocalSaveDir" means the current directory.
void LoadSnapshotSettings(const IniFile &ini, TFormSnapshotSettings &window);
void SaveSnapshotSettings(IniFile &ini, const TFormSnapshotSettings &window);
