#include "publish/TFormPublish.h"

#include "base/seams/ExceptionDisplay.h"
#include "base/seams/Seams.h"
#include "base/widgets/WindowStyles.h"
#include "net/TClientSocket.h"
#include "publish/DirectoryServer.h"
#include "publish/FormEncoding.h"
#include "publish/TFormManualIP.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QShowEvent>

using namespace Qt::StringLiterals;

namespace {

const QString HelpText = u"Quillon Public Webcam List\n\n"
                         u"   This function will publish your webcam to a webpage\n"
                         u"hosted by the author of Vantrel for free of charge.\n"
                         u"By filling out the information on the Publish Control \n"
                         u"Panel, you will be posted on the Public Webcam List.\n\n"
                         u"    Your listing will be on the public webcam site until you disable it.\n"
                         u"After that point, you are required to re-publish your listing if\n"
                         u"desired. This is just a free opprotunity to gain exposure to your\n"
                         u"webcam.... Enjoy!"_s;

const QString PrivateAddressText = u"The IP for the URL you have chosen is a private non-routeable ip address.\n"
                                   u"Please select the correct IP address from the list.\n"
                                   u"If this is the only IP listed, then you are behind a firewall.\n"
                                   u"If you know your IP address, press the Manual IP button to enter your own"_s;

// Only the two ranges home routers hand out most are refused; the test is on the URL's text.
bool isPrivateUrl(const QString &url) { return url.left(14) == u"http://192.168"_s || url.left(10) == u"http://10."_s; }

} // namespace

TFormPublish::TFormPublish(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::DialogWithCloseBox(this, 306, 162);
    windowstyle::ActsAsModalDialog(this);
    windowstyle::CentreOnScreen(this);
    createClientSocket();

    ConnectGuarded(Edit_Handle, &QLineEdit::textChanged, this, &TFormPublish::FormContentChange);
    ConnectGuarded(Edit_Description, &QLineEdit::textChanged, this, &TFormPublish::FormContentChange);
    ConnectGuarded(UrlBox, &QComboBox::currentIndexChanged, this, &TFormPublish::FormContentChange);
    ConnectGuarded(Button_Publish, &QPushButton::clicked, this, &TFormPublish::Button_PublishClick);
    ConnectGuarded(Button_ManualIP, &QPushButton::clicked, this, &TFormPublish::Button_ManualIPClick);
    ConnectGuarded(Button3, &QPushButton::clicked, this, &TFormPublish::Button3Click);
    ConnectGuarded(Button_Close, &QPushButton::clicked, this, &TFormPublish::Button_CloseClick);
}

TFormPublish::~TFormPublish() = default;

void TFormPublish::createClientSocket()
{
    ClientSocket = new TClientSocket(this);
    ClientSocket->SetClientType(TClientType::ctNonBlocking);
    ClientSocket->SetPort(0);
    ClientSocket->OnConnect = [this](QObject *Sender, TCustomWinSocket *Socket) {
        ClientSocketConnect(Sender, Socket);
    };
    ClientSocket->OnRead = [this](QObject *Sender, TCustomWinSocket *Socket) { ClientSocketRead(Sender, Socket); };
    ClientSocket->OnDisconnect = [this](QObject *Sender, TCustomWinSocket *Socket) {
        ClientSocketDisconnect(Sender, Socket);
    };
    ClientSocket->OnError = [this](QObject *Sender, TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode) {
        ClientSocketError(Sender, Socket, ErrorEvent, ErrorCode);
    };
}

void TFormPublish::SetMainWindow(QWidget *window, const QComboBox *urlList)
{
    mainWindow_ = window;
    mainUrlList_ = urlList;
}

void TFormPublish::SetManualIPWindow(TFormManualIP *window) { manualIP_ = window; }

void TFormPublish::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    windowstyle::OwnedBy(this, mainWindow_);
    FormShow();
}

void TFormPublish::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

void TFormPublish::FormShow()
{
    setMainWindowEnabled(false);
    Button_Close->setEnabled(true);
    QStringList urls;
    if (mainUrlList_) {
        for (int i = 0; i < mainUrlList_->count(); ++i)
            urls << mainUrlList_->itemText(i);
    }
    UrlBox->clear();
    UrlBox->addItems(urls);
    UrlBox->setCurrentIndex(-1);
    FormContentChange();
}

void TFormPublish::FormContentChange()
{
    Button_Publish->setEnabled(!UrlBox->currentText().isEmpty() && !Edit_Description->text().isEmpty() &&
                               !Edit_Handle->text().isEmpty());
}

void TFormPublish::Button_PublishClick()
{
    if (isPrivateUrl(UrlBox->currentText())) {
        seams::ShowMessage(this, u"Invalid URL"_s, PrivateAddressText);
        return;
    }
    const directory::ServerAddress server = directory::Server();
    ClientSocket->SetHost(server.host);
    ClientSocket->SetPort(server.port);
    ClientSocket->SetActive(true);
    Button_Publish->setEnabled(false);
    Button_Close->setEnabled(false);
}

QByteArray TFormPublish::requestBody() const
{
    return "url=" + EncodeFormValue(UrlBox->currentText()) +
           "&description=" + EncodeFormValue(Edit_Description->text()) +
           "&handle=" + EncodeFormValue(Edit_Handle->text()) + '\n';
}

void TFormPublish::ClientSocketConnect(QObject *, TCustomWinSocket *Socket)
{
    const QByteArray body = requestBody();
    Socket->WriteText("POST " + directory::AddPath.toLatin1() + " HTTP/1.1\n");
    Socket->WriteText("User-Agent: Vantrel Webcam Post\n");
    Socket->WriteText("Host: dummy\n");
    Socket->WriteText("Content-Length: " + QByteArray::number(body.size()) + '\n');
    Socket->WriteText("\n");
    Socket->WriteText(body);
}

void TFormPublish::ClientSocketRead(QObject *, TCustomWinSocket *Socket)
{
    Socket->ReadAvailableText(); // any answer at all means the directory took the request
    addToLog(u"Webcam link successfully published!"_s);
    Socket->CloseConnection();
}

void TFormPublish::ClientSocketDisconnect(QObject *, TCustomWinSocket *)
{
    ClientSocket->SetActive(false);
    FormContentChange();
    Button_Close->setEnabled(true);
    if (isVisible())
        close();
}

void TFormPublish::ClientSocketError(QObject *, TCustomWinSocket *, TErrorEvent, int &)
{
    seams::ShowMessage(this, u"Error"_s, u"Error connecting to Quillon's Webcam Public Server"_s);
    addToLog(u"Error publishing webcam!"_s);
    ClientSocket->SetActive(false);
    Button_Close->setEnabled(true);
}

void TFormPublish::Button_CloseClick() { close(); }

// A request still looking up or connecting is given up: nothing is sent, shown or logged
// once the window has gone.
void TFormPublish::FormClose()
{
    ClientSocket->Socket()->Abandon();
    ClientSocket->SetActive(false);
    setMainWindowEnabled(true);
}

void TFormPublish::Button3Click() { seams::ShowMessage(this, u"Publish Help"_s, HelpText); }

void TFormPublish::Button_ManualIPClick()
{
    if (!manualIP_)
        return;
    manualIP_->show();
    manualIP_->raise();
    manualIP_->activateWindow();
}

// Only what this window disabled is enabled again: another window (the snapshot settings)
// may hold the main window meanwhile.
void TFormPublish::setMainWindowEnabled(bool enabled)
{
    if (!mainWindow_ || enabled != mainWindowDisabled_)
        return;
    mainWindow_->setEnabled(enabled);
    mainWindowDisabled_ = !enabled;
}

void TFormPublish::addToLog(const QString &line) const
{
    if (addToLog_)
        addToLog_(line);
}
