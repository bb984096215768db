#pragma once

#include <QString>

// One person who may watch: a name, the password's hash line (passwordhash), and what the
// name lets them see.
struct ViewerAccount {
    QString name;
    QString passwordHash;
    bool mayWatchLive = true;
    bool mayWatchRecordings = true;
    // Recorders may log in as this viewer (ONVIF); its password is kept for them.
    bool recorder = false;

    bool operator==(const ViewerAccount &) const = default;
};
