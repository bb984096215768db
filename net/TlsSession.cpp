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
    std::array<char, 16384> piece{};
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

void TlsSession::Sent(qint64 length)
{
    sentOffset_ += length;
    if (sentOffset_ >= outgoing_.size()) {
        outgoing_.clear();
        sentOffset_ = 0;
    }
}

void TlsSession::Drain()
{
    BIO *out = SSL_get_wbio(ssl_);
    char *data = nullptr;
    const long pending = BIO_get_mem_data(out, &data);
    if (pending <= 0)
        return;
    if (sentOffset_ > 0 && sentOffset_ >= outgoing_.size() / 2) {
        outgoing_.remove(0, sentOffset_);
        sentOffset_ = 0;
    }
    outgoing_.append(data, pending);
    (void)BIO_reset(out);
}
