#pragma once

#include "server/HttpsSettings.h"
#include "ui_TFormHttps.h"

#include <QDialog>

#include <functional>

// "HTTPS": whether the server also speaks HTTPS on its port, with which certificate, whether
// plain HTTP is left to the text commands, and the fingerprint of the certificate in use so
// that a viewer can compare it with what the browser shows. It belongs to the main window and
// stays above it.
class TFormHttps : public QDialog, public Ui::TFormHttps {
    Q_OBJECT

public:
    explicit TFormHttps(QWidget *parent = nullptr);

    void SetSettings(const HttpsSettings &settings);
    HttpsSettings Settings() const;
    // The fingerprint of the certificate in use, empty while HTTPS is off.
    void SetFingerprint(const QString &fingerprint);

    // OK pressed with these choices.
    std::function<void(const HttpsSettings &)> OnApply;

private:
    void browse(QLineEdit *edit, const QString &title);
    HttpsSettings shown_;
};
