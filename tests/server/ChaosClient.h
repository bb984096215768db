#pragma once

#include <QByteArray>

#include <random>

// One random peer of the chaos run: a raw non-blocking TCP socket on 127.0.0.1 that sends its
// request in random pieces and then ends in one of several ways, some of them rude. It never
// blocks; Step() does one small piece of its work and is called again on every tick.
class ChaosClient {
public:
    enum class Ending { ReadToEnd, NeverRead, HalfClose, Reset, Close };

    // Every request kind (the live stream's too), bare or with an HTTP head, or random bytes;
    // "GET /STREAMPIC" now and then several times on one connection.
    ChaosClient(std::mt19937 &random, quint16 port);
    ~ChaosClient();
    ChaosClient(const ChaosClient &) = delete;
    ChaosClient &operator=(const ChaosClient &) = delete;

    // One piece of work; false once the client has finished and closed its socket.
    bool Step();
    // Ends at once: closed, or reset when the script says so.
    void Finish();

    int Requests() const { return requests_; }
    qint64 Received() const { return received_; }

private:
    void Connect(quint16 port);
    bool SendSome();
    bool ReadSome();
    void Reset();
    void Close();

    std::mt19937 &random_;
    int handle_ = -1;
    QByteArray request_;
    qsizetype sent_ = 0;
    int repeats_ = 0;
    int requests_ = 0;
    qint64 received_ = 0;
    Ending ending_ = Ending::ReadToEnd;
    int pause_ = 0;
    // Ticks left before a rude ending strikes, and before the client gives up on an answer.
    int strikeIn_ = 0;
    int lifetime_ = 0;
    bool halfClosed_ = false;
};
