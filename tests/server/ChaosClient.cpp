#include "tests/server/ChaosClient.h"

#include "tests/net/NetTestSupport.h"

#include <QList>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int Between(std::mt19937 &random, int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

bool Chance(std::mt19937 &random, int percent) { return Between(random, 1, 100) <= percent; }

const QList<QByteArray> &RequestLines()
{
    static const QList<QByteArray> lines{
        "GET /pic.jpg",
        "GET /PIC7.JPG",
        "GET /STREAMPIC",
        "GET /title.jpg",
        "GET /",
        "get /index.html",
        "GET /CHART0",
        "GET /CHART1",
        "GET /CHART2",
        "GET /CHART3",
        "SAY:chaos",
        "MSG:chaos",
        "QUIT",
        "STATUS",
        "GET /stream.mjpg",
        "GET /?action=stream",
        "GET /?action=snapshot",
    };
    return lines;
}

QByteArray RandomBytes(std::mt19937 &random)
{
    QByteArray bytes(Between(random, 1, 600), Qt::Uninitialized);
    for (char &byte : bytes)
        byte = static_cast<char>(Between(random, 0, 255));
    return bytes;
}

bool Retry(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ENOTCONN; }

} // namespace

ChaosClient::ChaosClient(std::mt19937 &random, quint16 port) : random_(random)
{
    const QList<QByteArray> &lines = RequestLines();
    const int pick = Between(random, 0, static_cast<int>(lines.size()));
    if (pick == lines.size()) {
        request_ = RandomBytes(random);
    } else {
        const QByteArray &line = lines.at(pick);
        request_ = Chance(random, 50) ? line + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" : line + '\n';
        if (line == "GET /STREAMPIC" && Chance(random, 50))
            repeats_ = Between(random, 1, 8);
    }
    ending_ = static_cast<Ending>(Between(random, 0, 4));
    strikeIn_ = Between(random, 0, 20);
    lifetime_ = Between(random, 5, 150);
    Connect(port);
}

ChaosClient::~ChaosClient() { Close(); }

void ChaosClient::Connect(quint16 port) { handle_ = StartLoopbackConnect(port, ending_ == Ending::NeverRead); }

bool ChaosClient::Step()
{
    if (handle_ < 0)
        return false;
    const bool rude = ending_ == Ending::Reset || ending_ == Ending::Close;
    if (--lifetime_ <= 0 || (rude && --strikeIn_ <= 0)) {
        Finish();
        return false;
    }
    if (pause_ > 0) {
        --pause_;
        return true;
    }
    if (sent_ < request_.size()) {
        if (!SendSome()) {
            Close();
            return false;
        }
        pause_ = Between(random_, 0, 2);
        return true;
    }
    if (ending_ == Ending::NeverRead)
        return true;
    if (repeats_ > 0 && Chance(random_, 10)) {
        --repeats_;
        sent_ = 0;
    }
    if (ending_ == Ending::HalfClose && repeats_ == 0 && !halfClosed_) {
        ::shutdown(handle_, SHUT_WR);
        halfClosed_ = true;
    }
    if (!ReadSome()) {
        Close();
        return false;
    }
    return true;
}

// A request goes out in random pieces, so the server sees it split over several reads; now
// and then a piece's last byte goes as urgent (out-of-band) data.
bool ChaosClient::SendSome()
{
    const qsizetype left = request_.size() - sent_;
    const qsizetype piece = Chance(random_, 70) ? left : Between(random_, 1, static_cast<int>(left));
    const int urgent = Chance(random_, 5) ? MSG_OOB : 0;
    const ssize_t sent = ::send(handle_, request_.constData() + sent_, piece, MSG_NOSIGNAL | MSG_DONTWAIT | urgent);
    if (sent < 0)
        return Retry(errno);
    sent_ += sent;
    if (sent_ == request_.size())
        ++requests_;
    return true;
}

bool ChaosClient::ReadSome()
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(handle_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            received_ += got;
            continue;
        }
        return got < 0 && Retry(errno);
    }
}

void ChaosClient::Finish()
{
    if (ending_ == Ending::Reset)
        Reset();
    Close();
}

void ChaosClient::Reset()
{
    if (handle_ < 0)
        return;
    const linger abort{1, 0};
    ::setsockopt(handle_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

void ChaosClient::Close()
{
    if (handle_ >= 0)
        ::close(handle_);
    handle_ = -1;
}
