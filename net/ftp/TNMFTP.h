#pragma once

#include "net/ftp/TPowersock.h"

#include <QString>

#include <functional>

// Command kinds passed to the success, failure and unsupported events.
enum TCmdType {
    cmdChangeDir,
    cmdMakeDir,
    cmdDelete,
    cmdRemoveDir,
    cmdList,
    cmdRename,
    cmdUpRestore,
    cmdDownRestore,
    cmdDownload,
    cmdUpload,
    cmdAppend,
    cmdReInit,
    cmdAllocate,
    cmdNList,
    cmdDoCommand,
    cmdCurrentDir
};

enum TFirewallType { FTUser, FtOpen, FtSite };

// FTP client session (RFC 959) over the control socket it inherits: connect and log in,
// single commands, uploads in active (or passive) mode, quit.
//
//   ftp.SetHost("127.0.0.1"); ftp.SetPort(21); ftp.SetUserID(...); ftp.SetPassword(...);
//   ftp.OnConnect = [&](QObject *) { ftp.Upload(file, "cam/snap.jpg"); ftp.Disconnect(); };
//   ftp.Connect();   // returns after OnConnect; any failure quits the session and raises
//
// Refusals raise FTPException with the reply line (CR LF included), socket failures
// ESockError (also a control connection that ends where a reply was due), cancelled waits
// EAbortError, and commands without a session `Exception` "Not Connected"; a failure
// handler that sets Handled stops the exception where noted.
//
// The session guards itself against a Connect from inside its own waits (a timer's
// handler, say): while logged in, or logging in, that Connect does nothing; while the
// first one still looks up or connects it is refused with OnError and ESockError
// "10037:Operation already in progress", and the first one goes on.
class TNMFTP : public TPowersock {
    Q_OBJECT

public:
    static constexpr int DefaultVendor = 2411;
    // The most lines one reply may have; a server that goes on fails the command.
    static constexpr int MaxReplyLines = 1000;

    explicit TNMFTP(QObject *owner = nullptr);

    void SetUserID(const QString &userId) { userId_ = userId; }
    QString UserID() const { return userId_; }
    void SetPassword(const QString &password) { password_ = password; }
    QString Password() const { return password_; }
    void SetPassive(bool passive) { passive_ = passive; }
    bool Passive() const { return passive_; }
    void SetVendor(int vendor) { vendor_ = vendor; }
    int Vendor() const { return vendor_; }
    void SetParseList(bool parse) { parseList_ = parse; }
    bool ParseList() const { return parseList_; }
    void SetFirewallType(TFirewallType type) { firewallType_ = type; }
    TFirewallType FirewallType() const { return firewallType_; }
    void SetFWUserID(const QString &userId) { fwUserId_ = userId; }
    void SetFWPassword(const QString &password) { fwPassword_ = password; }
    void SetFWAuthenticate(bool authenticate) { fwAuthenticate_ = authenticate; }
    bool FWAuthenticate() const { return fwAuthenticate_; }
    // Size of the file the running (or last) upload sends.
    qint64 BytesTotal() const { return bytesTotal_; }

    // Opens the control connection, logs in and fires OnConnect; nothing when connected.
    // A login that fails, also by a time-out or a close, fires OnConnectionFailed. A session
    // that a failure left out of step is closed, after OnConnect and before a new Connect.
    void Connect() override;
    // True from the start of Connect until it returns.
    bool InSession() const { return inSession_; }
    // Sends QUIT and closes; nothing when not connected. A QUIT reply 301..599 raises
    // FTPException after the close. A broken or silent connection is closed without QUIT.
    void Disconnect() override;
    // 1 "TYPE A", 2 "TYPE I", 3 "TYPE L 8"; other values do nothing.
    void Mode(int type);
    // Sends one command; 400..599 is a failure (OnFailure, FTPException unless handled),
    // anything else OnSuccess. A reply that never comes whole fails it the same way.
    void DoCommand(const QString &command);
    // Stores the local file as remoteName (its own file name when empty); the outcome
    // comes through OnSuccess(cmdUpload) or OnFailure and an exception.
    void Upload(const QString &localFile, const QString &remoteName);

    // Reads the lines that follow a reply's first line; returns the reply's last line. The
    // whole reply has one deadline, at most MaxReplyLines lines and MaxReplyBytes bytes.
    QByteArray ReadExtraLines(const QByteArray &reply);
    // Sends the command and reads its whole reply; a connection that ends instead raises.
    void Transaction(const QString &command) override;

    std::function<void(QObject *Sender)> OnConnect;
    std::function<void(bool &Handled, TCmdType Trans_Type)> OnFailure;
    std::function<void(TCmdType Trans_Type)> OnSuccess;
    std::function<void(TCmdType Trans_Type)> OnUnSupportedFunction;
    std::function<void(bool &Handled)> OnAuthenticationNeeded, OnConnectionRequired;
    std::function<void(QObject *Sender)> OnTransactionStart, OnTransactionStop;

    // The message of a control connection that ended where a reply was due.
    static QString NoReplyText();

private:
    // Transaction without the check: the caller looks at an empty LastReply itself.
    void Exchange(const QString &command);
    [[noreturn]] void RefuseBusySession();
    void LogIn();
    void ReadGreeting();
    void SendLogin(const QString &userId, const QString &password);
    void CheckLoginReply();
    void QuitAfterFailure();
    void CertifyConnect();
    void DiscardWaitingInput();
    // A refusing reply: OnFailure, then FTPException unless the handler set Handled.
    void Refuse(TCmdType kind, const QByteArray &reply);

    bool TransferFile(const QString &localFile, const QString &remoteName);
    void SendData(TPowersock &data, const QString &localFile, bool passive);
    void AbortTransfer(TPowersock &data);
    // The first line of the next whole reply; empty when the connection ended first.
    QByteArray ReadReply();
    bool OpenDataConnection(TPowersock &data, bool passive);
    bool OpenActive(TPowersock &data);
    bool OpenPassive(TPowersock &data);
    bool Store(const QString &localFile, const QString &remoteName);
    bool ReadCompletion();

    QString userId_;
    QString password_;
    bool passive_ = false;
    int vendor_ = DefaultVendor;
    bool parseList_ = false;
    TFirewallType firewallType_ = FTUser;
    QString fwUserId_;
    QString fwPassword_;
    bool fwAuthenticate_ = false;
    qint64 bytesTotal_ = 0;
    bool inSession_ = false;
};
