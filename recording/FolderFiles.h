#pragma once

#include <QString>

#include <vector>

// The regular files of one folder with their size and last write, read in one pass over the
// folder: each file is looked at relative to the open folder, so a folder of thousands costs
// one short look per file, not a walk of its whole path. Links are not followed and not listed.
namespace folderfiles {

struct File {
    QString name;
    qint64 bytes = 0;
    qint64 modifiedSecs = 0; // since the epoch
};

std::vector<File> RegularFiles(const QString &folder);

} // namespace folderfiles
