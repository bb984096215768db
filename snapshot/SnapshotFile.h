#pragma once

#include <QByteArray>
#include <QString>

// Writes a snapshot's JPEG bytes as `name` into the folder given by its text
// (a "/" is appended unless the text ends in one). The bytes go to a temporary
// file in the same folder, which then replaces the snapshot file, so a failed
// write never leaves a shortened snapshot behind. Returns the path written.
//
// Throws Exception("Cannot save snapshot: ...") when the folder text is empty,
// the name holds a "/" (a snapshot never leaves its folder) or a NUL, the
// folder is missing or read-only, an existing snapshot file is read-only, or
// the write fails. A folder or file whose owner-write bit is clear counts as
// read-only even for a privileged user.
QString SaveSnapshotFile(const QString &folderText, const QString &name, const QByteArray &jpeg);
