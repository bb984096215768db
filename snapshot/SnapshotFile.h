#pragma once

#include <QByteArray>
#include <QString>

// Writes a snapshot's JPEG bytes as `name` into the folder given by its text
// (a "/" is appended unless the text ends in one). The bytes go to a temporary
// file in the same folder, which then replaces the snapshot file, so a failed
// write never leaves a shortened snapshot behind. Returns the path written.
//
// The name is used as typed: a "/" in it names a subfolder of the folder.
// Throws Exception("Cannot save snapshot: ...") when the folder text is empty,
// the name holds a NUL, the file's folder is missing or read-only for this
// process, an existing snapshot file is read-only for it, or the write fails.
QString SaveSnapshotFile(const QString &folderText, const QString &name, const QByteArray &jpeg);
