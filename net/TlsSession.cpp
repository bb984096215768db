#include "net/TlsSession.h"

#include "net/TlsContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <array>

TlsSession::TlsSession(std::shared_ptr<TlsContext> context) : context_(std::move(context))
{
    ssl_ = SSL_new(context_->Handle());
    BIO *in = BIO_new(BIO_s_mem());
    BIO *out = BIO_new(BIO_s_mem());
    if (!ssl_ || !in || !out) {
        BIO_free(in);
        BIO_free(out);
        failed_ = true;
        return;
    }
    // An empty memory source means "later", not the end.
    BIO_set_mem_eof_return(in, -1);
    SSL_set_bio(ssl_, in, out);
    SSL_set_accept_state(ssl_);
}

TlsSession::~TlsSession() { SSL_free(ssl_); }

bool TlsSession::Established() const { return ssl_ && !failed_ && SSL_is_init_finished(ssl_); }

bool TlsSession::Received(const char *data, qint64 length)
{
    if (failed_)
        return false;
    ERR_clear_error();
    if (BIO_write(SSL_get_rbio(ssl_), data, int(length)) != int(length)) {
        failed_ = true;
        return false;
    }
    std::array<char, 16384> piece; // only what SSL_read wrote is read back
    for (;;) {
        const int read = SSL_read(ssl_, piece.data(), int(piece.size()));
        if (read > 0) {
            plain_.append(piece.data(), read);
            continue;
        }
        const int error = SSL_get_error(ssl_, read);
        if (error == SSL_ERROR_ZERO_RETURN)
            peerClosed_ = true;
        else if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            failed_ = true;
        break;
    }
    Drain();
    return !failed_;
}

QByteArray TlsSession::TakePlain() { return std::exchange(plain_, QByteArray()); }

bool TlsSession::Encrypt(const char *data, qint64 length)
{
    if (failed_ || !Established())
        return false;
    ERR_clear_error();
    for (qint64 done = 0; done < length;) {
        const int written = SSL_write(ssl_, data + done, int(std::min<qint64>(length - done, 1 << 20)));
        if (written <= 0) {
            failed_ = true;
            return false;
        }
        done += written;
    }
    Drain();
    return true;
}

void TlsSession::EndSession()
{
    if (!Established())
        return;
    SSL_shutdown(ssl_);
    Drain();
}

qint64 TlsSession::written(const char **data) const
{
    char *bytes = nullptr;
    const long size = BIO_get_mem_data(SSL_get_wbio(ssl_), &bytes);
    *data = bytes;
    return size > 0 ? size : 0;
}

const char *TlsSession::Outgoing() const
{
    if (!outgoing_.isEmpty())
        return outgoing_.constData() + sentOffset_;
    const char *data = nullptr;
    written(&data);
    return data;
}

qint64 TlsSession::OutgoingSize() const
{
    if (!outgoing_.isEmpty())
        return outgoing_.size() - sentOffset_;
    const char *data = nullptr;
    return written(&data);
}

void TlsSession::Sent(qint64 length)
{
    if (outgoing_.isEmpty()) {
        // Straight from OpenSSL's buffer: what the socket left behind is kept, in order.
        const char *data = nullptr;
        const qint64 size = written(&data);
        if (length < size)
            outgoing_ = QByteArray(data + length, size - length);
        (void)BIO_reset(SSL_get_wbio(ssl_));
        return;
    }
    sentOffset_ += length;
    if (sentOffset_ >= outgoing_.size()) {
        outgoing_.clear();
        sentOffset_ = 0;
    }
}

// Records written while older ones still wait join them, so the order on the wire holds.
void TlsSession::Drain()
{
    if (outgoing_.isEmpty())
        return;
    const char *data = nullptr;
    const qint64 size = written(&data);
    if (size == 0)
        return;
    if (sentOffset_ > 0 && sentOffset_ >= outgoing_.size() / 2) {
        outgoing_.remove(0, sentOffset_);
        sentOffset_ = 0;
    }
    outgoing_.append(data, size);
    (void)BIO_reset(SSL_get_wbio(ssl_));
}
