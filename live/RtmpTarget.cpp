#include "live/RtmpTarget.h"

#include <QUrl>

#include <algorithm>

RtmpTarget::RtmpTarget(const QString &url, const QString &key) : url_(url.trimmed()), key_(key.trimmed())
{
    while (url_.endsWith(u'/'))
        url_.chop(1);
    const QUrl parsed(url_, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    host_ = parsed.host();
    if (url_.isEmpty())
        problem_ = QStringLiteral("no server address is given");
    else if (!parsed.isValid() || (scheme != u"rtmp" && scheme != u"rtmps"))
        problem_ = QStringLiteral("the server address must begin with rtmp:// or rtmps://");
    else if (host_.isEmpty())
        problem_ = QStringLiteral("the server address names no host");
    else if (parsed.path().size() < 2)
        problem_ = QStringLiteral("the server address names no application, as in rtmp://%1/live").arg(host_);
    else if (key_.isEmpty())
        problem_ = QStringLiteral("no stream key is given");
    else if (std::any_of(key_.begin(), key_.end(), [](QChar c) { return c.isSpace(); }))
        problem_ = QStringLiteral("the stream key may not hold spaces");
}

QString RtmpTarget::location() const { return url_ + u'/' + key_; }

QString RtmpTarget::withoutKey(const QString &text) const
{
    if (key_.isEmpty())
        return text;
    QString cleaned = text;
    cleaned.replace(key_, QStringLiteral("(stream key)"));
    const QString encoded = QString::fromUtf8(QUrl::toPercentEncoding(key_));
    if (encoded != key_)
        cleaned.replace(encoded, QStringLiteral("(stream key)"));
    return cleaned;
}
