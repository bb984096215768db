#pragma once

#include <QString>

// One person who may watch: a name, the password's hash line (passwordhash), and what the
// name lets them see.
struct ViewerAccount {
    QString name;
    QString passwordHash;
    bool mayWatchLive = true;
    bool mayWatchRecordings = true;

    bool operator==(const ViewerAccount &) const = default;
};
