#pragma once

#include "ui_TFormMain.h"

#include "base/seams/ExceptionDisplay.h"
#include "gst/GuiPost.h"
#include "net/SocketTypes.h"
#include "net/ftp/TNMFTP.h"
#include "onvif/HttpDigest.h"
#include "onvif/OnvifFacts.h"
#include "onvif/PullPoints.h"
#include "onvif/UsernameTokenCheck.h"
#include "onvif/WsDiscovery.h"
#include "recording/RecordingSettings.h"
#include "server/AddressPacing.h"
#include "server/CrossOrigin.h"
#include "server/HeadGathering.h"
#include "server/HttpsSettings.h"
#include "server/LoginLockout.h"
#include "server/PasswordCheckQueue.h"
#include "server/RecorderPasswords.h"
#include "server/Reply.h"
#include "server/RequestDispatch.h"
#include "server/ShareLinks.h"
#include "server/StateReport.h"
#include "server/ViewerAccess.h"

#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <map>
#include <memory>

struct DriverEntry;
class IniFile;
class JpegImage;
class MjpegStream;
class LiveService;
class TFormGoLive;
class Recorder;
class TFormRecording;
class TFormHttps;
class HttpsCertificate;
class TlsContext;
class ClipUploader;
class QLabel;
struct CapturedFrame;
class QAction;
class QBuffer;
class QIODevice;
class TCustomWinSocket;
class TServerSocket;
class TNMFTP;
class MotionWatch;
class TFormShare;
class TFormViewers;
class QTimer;

// The main window: the server, log, JPEG and auto-capture controls, the menus,
// and the program's own operations. Its handlers are spread over files by topic.
class TFormMain : public QMainWindow, public Ui::TFormMain {
    Q_OBJECT

public:
    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

    // Start-up and the shell (TFormMain.cpp, TFormMain_Menus.cpp)
    void FormShow();
    void InitializeOnFirstShow();
    void WriteBanner();
    void Exit1Click();
    void Hide1Click();
    void About1Click();
    void VisitVantrelHomepage1Click();
    void ListCamerasonQuillon1Click();
    void PublishcameraQuillon1Click();
    void RequestChart1Click();
    void Last10IPs1Click();
    void Bandwidth1Click();
    // From the menu: brought forward and clear of the others; at the start (bringForward false):
    // where it was.
    void showStatisticsWindow(QWidget *window, bool bringForward = true);
    bool previewWatched_ = false;

    // Event log (TFormMain_Log.cpp)
    void AddToLog(const QString &message);
    void AddUntimedLine(const QString &line);
    void ButtonClearLogClick();
    void Button1Click();
    QStringList LogLines() const;

    // Settings file (TFormMain_Settings.cpp)
    void LoadSettings();
    void SaveSettings();
    void LoadDefaults1Click();
    void Savesettingstofile1Click();

    // Capture menus and JPEG quality (TFormMain_Capture.cpp)
    void JPEGQualityChange();
    void SourceItemClick(QAction *item);
    void Format1Click();
    void Source1Click();
    void HardwareOverlay1Click();

    // Frame grab (TFormMain_Grab.cpp)
    bool GrabFrame();
    std::unique_ptr<QBuffer> BuildFrameStream();

    // Webcam server (TFormMain_Server.cpp)
    void CheckBoxClick();
    void BuildUrlList();
    void Button_CopyToClipboardClick();
    void ServerSocketClientConnect(QObject *Sender, TCustomWinSocket *Socket);
    void ServerSocketClientDisconnect(QObject *Sender, TCustomWinSocket *Socket);
    void ServerSocketClientError(QObject *Sender, TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode);

    // Requests and their answers (TFormMain_Requests.cpp)
    void ServerSocketClientRead(QObject *Sender, TCustomWinSocket *Socket);
    void SendResource(const Reply &reply, const QString &name);

    // Who may watch: the viewers (TFormMain_Viewers.cpp) and share links (TFormMain_Share.cpp)
    void Viewers1Click();
    void ViewersChosen();
    void Share1Click();
    std::unique_ptr<TFormViewers> FormViewers;
    std::unique_ptr<TFormShare> FormShare;

    // Plain-text commands (TFormMain_Commands.cpp)
    void SayCommand(const QByteArray &text);
    void MsgCommand(TCustomWinSocket *Socket, const QByteArray &text);
    void StatusCommand(TCustomWinSocket *Socket);

    TServerSocket *ServerSocket = nullptr;

    // The live MJPEG stream (TFormMain_Stream.cpp)
    void FrameArrived();
    void OfflineClick();
    MjpegStream *Stream = nullptr;
    // How long the stream's viewers may go without a frame before the log says so.
    std::chrono::milliseconds QuietStreamLimit{3000};

    // Live H.264, sound, RTSP, WebRTC and going live: a service of its own, wired to the
    // server's switch, the viewer password, the "Sound" menu (TFormMain_Sound.cpp), the WHEP
    // requests (TFormMain_Whep.cpp) and the "Go Live" window (TFormMain_GoLive.cpp).
    std::unique_ptr<LiveService> Live;
    void SoundItemClick(QAction *item);
    std::unique_ptr<TFormGoLive> FormGoLive;
    void GoLive1Click();

    // HTTPS on the server's port: the "HTTPS" window, its keys, the certificate in use and its
    // renewal, plain requests sent on to https (TFormMain_Https.cpp).
    std::unique_ptr<TFormHttps> FormHttps;
    void Https1Click();
    bool HttpsOn() const { return https_ != nullptr; }

    // Recordings: clips on motion or always, a consumer of the live service's feeds; the
    // "Recording" window, the folder, the indicator, and /recordings (TFormMain_Recording.cpp,
    // TFormMain_Recordings.cpp).
    std::unique_ptr<Recorder> Recording;
    std::unique_ptr<TFormRecording> FormRecording;
    std::unique_ptr<ClipUploader> ClipUploads;
    void uploadRecording(const QString &path);
    void Recording1Click();
    void OpenRecordingsFolder1Click();

    // Message boxes of "MSG:" open at once; further messages go to the log instead.
    static constexpr int MaxOpenMessageBoxes = 3;
    // A peer gets a new message box at most this often; messages in between are logged once a minute.
    static constexpr int MessageBoxSpacingSeconds = 5;

    // Snapshots and auto capture (TFormMain_Snapshot.cpp)
    void AutoCaptureClick();
    void AutoTimeChange();
    void TimerAutoTimer();
    void Button_SnapshotOptionsClick();
    void Button_SnapshotClick();

    // FTP upload of a snapshot (TFormMain_Ftp.cpp)
    // Starts the FTP upload of the snapshot just taken (its JPEG bytes).
    void NMFTPStart(const QByteArray &jpeg);
    // The account, server and mode from the snapshot settings window, for a new session.
    void loadFtpSettings();
    void NMFTPConnect(QObject *Sender);
    void NMFTPSuccess(TCmdType Trans_Type);
    void NMFTPFailure(bool &Handled, TCmdType Trans_Type);
    void NMFTPError(QObject *Sender, int Errno, const QString &Errmsg);
    void NMFTPConnectionFailed(QObject *Sender);
    void NMFTPInvalidHost(bool &Handled);
    // The file each upload sends: the program's name with ".jpg", beside the program when it may
    // write there, otherwise in the user's cache folder.
    static QString FtpUploadFile();

    TNMFTP *NMFTP = nullptr;
    // How long the FTP client waits for any one answer or connection.
    static constexpr int FtpTimeOutMs = 30000;

    QTimer *TimerAuto = nullptr;

    // Request chart (TFormMain_Stats.cpp)
    void ChartTimerTimer();
    QTimer *ChartTimer = nullptr;

    std::unique_ptr<JpegImage> FrameJpeg;
    std::unique_ptr<QImage> FrameBitmap;
    std::unique_ptr<QImage> PreviousFrameBitmap;

    // Separators of the File and Video Options menus.
    QAction *N1 = nullptr;
    QAction *N3 = nullptr;

    // Lines and characters the log view keeps before dropping the oldest lines: a flood of
    // long peer texts must not take hundreds of megabytes.
    static constexpr int MaxLogLines = 20000;
    static constexpr int MaxLogCharacters = 4 * 1024 * 1024;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormDestroy();
    void dropOldestLogLinesOverCharacterBound();
    void addSeparators();
    void connectShellHandlers();
    void connectLogHandlers();
    void connectSettingsHandlers();
    void connectCaptureHandlers();
    void connectSnapshotHandlers();
    int detectMotion(int threshold);
    void saveLocalSnapshot(const QString &name);
    void uploadSnapshot();
    void stopAutoCaptureAfterError();
    void queueTimedSnapshot();
    void startChartTimer();
    void fillSourceMenu();
    void syncSourceMenu();
    QAction *makeSourceItem(const DriverEntry &driver);
    void CameraChanged(const QString &name, bool connected);
    void takeFrame(const CapturedFrame &frame);
    void reportMissingFrame(const QString &source);

    using PictureConnection = Reply::Connection;
    void createServerSocket();
    void connectServerHandlers();
    void startServer();
    void stopServer();
    void countRequest(const QString &peer);
    // Answers the request once a viewer or share link admits it, or refuses it (TFormMain_Admission.cpp).
    void admit(TCustomWinSocket *socket, const QByteArray &text);
    void judged(TCustomWinSocket *socket, const QByteArray &text, ViewerAccess::Verdict verdict);
    void checkSlowly(TCustomWinSocket *socket, const QByteArray &text);
    void slowCheckDone(quint64 id, ViewerAccess::Verdict verdict);
    void serveRequest(TCustomWinSocket *Socket, const QByteArray &text, const QByteArray &moreHead);
    struct SlowCheck {
        QPointer<TCustomWinSocket> socket;
        QByteArray text;
    };
    // Passwords not seen before, being checked; beyond this many at once a login is asked to wait.
    static constexpr size_t MostSlowChecks = 16;
    // What a plain-text command gets while viewers must log in.
    static inline const QByteArray RefusedCommandLine =
        QByteArrayLiteral("A viewer password is set, so commands are refused.\r\n");
    std::map<quint64, SlowCheck> slowChecks_;
    quint64 nextSlowCheck_ = 1;
    std::unique_ptr<PasswordCheckQueue> slowCheckQueue_ = std::make_unique<PasswordCheckQueue>();
    // Whether a share link the request carries admits it.
    bool admittedByShareLink(TCustomWinSocket *socket, const QByteArray &text, QByteArray &moreHead);
    void refuse(TCustomWinSocket *socket, ViewerAccess::Verdict verdict);
    void refuseLockedOut(TCustomWinSocket *socket, const QByteArray &text);
    void endLockouts();
    void lockoutStarted(const QString &address);
    std::function<bool(const QByteArray &, const QByteArray &, const QString &)> rtspViewerCheck();
    void createViewersWindow();
    void loadViewers(const IniFile &ini);
    void saveViewers(IniFile &ini) const;
    void applyViewers();
    void keepRecorderPasswords(const recorderpasswords::Passwords &typed);
    recorderpasswords::Passwords recorderPasswords_;
    UsernameTokenCheck usernameTokens_;
    HttpDigest httpDigest_;
    void closeStreamViewers();
    void createShareWindow();
    void showShareWindow(QWidget *owner);
    std::pair<QString, QString> makeShareLink(ShareLinks::Lifetime lifetime, bool mayWatchRecordings);
    void revokeShareLink(const QString &id);
    void endExpiredShareLinks();
    void closeShareViewers(const QStringList &ids);
    void noteShareViewer(const Reply &reply, const QByteArray &resource);
    void followShareLinks();
    void loadShareLinks(const IniFile &ini);
    void saveShareLinks(IniFile &ini) const;
    QString shareAddressBase() const;
    qint64 nextExpiryWait() const;
    ShareLinks shareLinks_;
    QTimer shareExpiry_;
    // WebRTC viewers let in by a share link: their resource, and the link's id.
    std::map<QByteArray, QString> shareWhep_;
    void createGoLive();
    void loadGoLiveSettings(const IniFile &ini);
    void saveGoLiveSettings(IniFile &ini) const;
    void saveGoLiveChoices();
    void goLiveAtStart();
    void startGoingLive();
    void createLive();
    void createRecording();
    // Recorders (TFormMain_Onvif.cpp): discovery and the device and media services.
    void createOnvif();
    void loadOnvifSettings(const IniFile &ini);
    void saveOnvifSettings(IniFile &ini) const;
    void Onvif1Click();
    void followOnvif();
    void admitOnvif(TCustomWinSocket *socket, const QByteArray &text);
    enum class OnvifLogin { Admitted, Wrong, Refused, Missing, Stale };
    OnvifLogin onvifLogin(const SoapRequest &request, const QByteArray &text, const QString &peer, QString &refusal);
    OnvifLogin onvifDigestLogin(const HttpDigest::Credentials &credentials, const QByteArray &text);
    const QByteArray *recorderPassword(const QString &user) const;
    void askRecorderToLogIn(const Reply &reply, bool stale, const QString &refusal);
    void sendOnvifAnswer(const Reply &reply, const QByteArray &text);
    OnvifFacts onvifFacts(const QByteArray &text, bool encrypted);
    WsDiscovery::Endpoint onvifEndpoint();
    state::Facts currentFacts();
    std::unique_ptr<WsDiscovery> discovery_;
    // Motion for recorders' events, watched while recorders may find the camera.
    std::shared_ptr<MotionWatch> onvifMotion_;
    PullPoints pullPoints_;
    QString onvifUuid_;
    void followSnapshotMotionSettings();
    void loadRecordingSettings(const IniFile &ini);
    void saveRecordingSettings(IniFile &ini) const;
    void applyRecordingChoices(const RecordingSettings &settings);
    QLabel *recordingIndicator_ = nullptr;
    QLabel *goLiveIndicator_ = nullptr;
    void showGoLiveState();
    void createHttps();
    void loadHttpsSettings(const IniFile &ini);
    void saveHttpsSettings(IniFile &ini) const;
    void applyHttpsChoices(const HttpsSettings &settings);
    void startHttps();
    void stopHttps();
    bool takeCertificate(const QString &refusal);
    void reloadRenewedCertificate();
    void showHttpsState();
    bool redirectedToHttps(TCustomWinSocket *socket, request::Kind kind, const QByteArray &text);
    std::unique_ptr<HttpsCertificate> httpsCertificate_;
    std::shared_ptr<TlsContext> https_;
    // What OK or the settings file put in force; the window may show choices not yet taken.
    HttpsSettings httpsChosen_;
    QString httpsFingerprintLogged_;
    QTimer httpsRenewals_;
    QLabel *httpsIndicator_ = nullptr;
    void sendRecordings(const Reply &reply, request::Kind kind, const QByteArray &text);
    void sendRecordingFile(const Reply &reply, const QByteArray &text);
    void syncSoundMenu();
    void tickSound();
    void sendState(const Reply &reply);
    void whepOffer(const Reply &reply, const QByteArray &text);
    void whepEnd(const Reply &reply, const QByteArray &text);
    void whepOptions(const Reply &reply, const QByteArray &text);
    bool refusedOrigin(const Reply &reply, const QByteArray &text);
    // Pages of other origins that may use WebRTC ("AllowedOrigins" in the settings).
    CrossOrigin crossOrigin_;
    void sendWhole(const Reply &reply, const QByteArray &response);
    void notePictureViewer(const QString &peer);
    int pictureViewerCount();
    // When each address last asked for a single picture (milliseconds of a steady clock).
    QHash<QString, qint64> pictureViewers_;
    void loadLiveSettings(const IniFile &ini);
    void saveLiveSettings(IniFile &ini) const;
    std::shared_ptr<ViewerAccess> viewerAccess_ = std::make_shared<ViewerAccess>();
    // Refusals logged once a minute per address.
    AddressPacing refusalLog_{60};
    std::shared_ptr<LoginLockout> lockout_ = std::make_shared<LoginLockout>();
    QTimer lockoutEnds_;
    GuiPost guiPost_{this};
    // A new message box at most every few seconds per peer.
    AddressPacing messageBoxPacing_{MessageBoxSpacingSeconds};
    AddressPacing messageRefusalLog_{60};
    AddressPacing messageOverflowLog_{60};
    HeadGathering heads_;
    QTimer headDeadlines_;
    void closeOverdueHeads();
    void sendCameraPicture(const Reply &reply, PictureConnection connection);
    void sendWindowPicture(const Reply &reply, char choice);
    void createStream();
    void startStream(const Reply &reply);
    void streamQuiet();
    QTimer *streamQuietTimer_ = nullptr;
    bool streamQuietLogged_ = false;
    void recordSent(qint64 bytes);

    int openMessageBoxes_ = 0;

    // Timer-started snapshot runs under way; they nest while one waits in its FTP session.
    int timedRuns_ = 0;

    void createFtpClient();
    bool ftpErrorBeingHandled_ = false;
    // The snapshot the running FTP session uploads; later runs' pictures do not replace it.
    QByteArray ftpSnapshot_;
};
