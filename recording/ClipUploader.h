#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <deque>

// The FTP server finished recordings go to: the snapshots' server, with a folder of their own.
struct FtpDestination {
    QString host;
    int port = 21;
    QString user;
    QString password;
    bool passive = false;
    QString folder; // empty: the folder the login starts in
};

// Sends finished recordings by FTP, one at a time, on a thread of its own: a long clip or a
// slow server never holds the windows. The local file is never touched; one that cannot be
// sent stays in the recordings folder and the log says so.
class ClipUploader : public QObject {
    Q_OBJECT

public:
    // More clips than this waiting (a server down for a long time) are not queued.
    static constexpr int MaxWaiting = 100;
    static constexpr int TimeOutMs = 30000;

    explicit ClipUploader(QObject *parent = nullptr);
    // Ends a running upload at once; the clips waiting stay where they are.
    ~ClipUploader() override;

    void Upload(const QString &path, const FtpDestination &destination);
    // Clips waiting, the one being sent included.
    int Waiting() const { return static_cast<int>(waiting_.size()); }

signals:
    void logged(const QString &line);
    // One clip's upload is over, sent or not.
    void finished(const QString &path, bool sent);

private:
    struct Job {
        QString path;
        FtpDestination destination;
    };

    void sendNext();
    void sent(const QString &failure);

    QThread thread_;
    QObject *worker_ = nullptr; // lives on thread_
    std::deque<Job> waiting_;
    bool sending_ = false;
};
