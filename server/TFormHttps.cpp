#include "server/TFormHttps.h"

#include "base/seams/Seams.h"
#include "base/widgets/WindowStyles.h"

#include <QFileDialog>
#include <QFontDatabase>

using namespace Qt::StringLiterals;

TFormHttps::TFormHttps(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    windowstyle::ActsAsModalDialog(this);
    Label_Fingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(Buttons, &QDialogButtonBox::accepted, this, [this] {
        shown_ = Settings();
        if (OnApply)
            OnApply(shown_);
        accept();
    });
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(Button_Certificate, &QPushButton::clicked, this,
            [this] { browse(Edit_Certificate, u"Certificate (PEM)"_s); });
    connect(Button_Key, &QPushButton::clicked, this, [this] { browse(Edit_Key, u"Private key (PEM)"_s); });
    connect(this, &QDialog::rejected, this, [this] { SetSettings(shown_); });
    SetFingerprint({});
}

void TFormHttps::SetSettings(const HttpsSettings &settings)
{
    shown_ = settings;
    CheckBox_Https->setChecked(settings.on);
    Edit_Certificate->setText(settings.certificate);
    Edit_Key->setText(settings.key);
    CheckBox_Redirect->setChecked(settings.redirect);
}

HttpsSettings TFormHttps::Settings() const
{
    HttpsSettings s;
    s.on = CheckBox_Https->isChecked();
    s.certificate = Edit_Certificate->text().trimmed();
    s.key = Edit_Key->text().trimmed();
    s.redirect = CheckBox_Redirect->isChecked();
    return s;
}

void TFormHttps::SetFingerprint(const QString &fingerprint)
{
    // Two lines of sixteen bytes, as browsers show it.
    const QString shown = fingerprint.size() > 48 ? fingerprint.left(47) + u'\n' + fingerprint.mid(48) : fingerprint;
    Label_Fingerprint->setText(fingerprint.isEmpty() ? u"HTTPS is off"_s : shown);
}

void TFormHttps::browse(QLineEdit *edit, const QString &title)
{
    const QString chosen =
        QFileDialog::getOpenFileName(this, title, edit->text(), u"PEM files (*.pem *.crt *.key);;All files (*)"_s);
    if (!chosen.isEmpty())
        edit->setText(chosen);
}
