#pragma once

#include <QString>

// HTTPS as the user chose it ([FormMain] Https, HttpsCertificate, HttpsKey, HttpsRedirect).
struct HttpsSettings {
    bool on = false;
    // The user's PEM files; both empty: the program's own certificate.
    QString certificate;
    QString key;
    // Plain HTTP only for the text commands: pictures, the stream, the pages, WHEP and the
    // state are sent to https instead.
    bool redirect = false;
};
