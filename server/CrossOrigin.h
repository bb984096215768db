#pragma once

#include <QByteArray>
#include <QStringList>

// Which web pages may use the camera's WebRTC signalling from a browser. A page of the
// program's own (the same origin as the address asked for), a client that is no web page
// (it sends no Origin) and the origins on the allow-list may; a page from anywhere else may
// not, so that a page a person opens cannot play their camera and send it elsewhere.
class CrossOrigin {
public:
    // Origins as "http://host:port", compared without regard to case; "*" allows every one.
    void SetAllowed(const QStringList &origins) { allowed_ = origins; }
    QStringList Allowed() const { return allowed_; }

    // Whether the request (its whole text) comes from a page that may use it.
    bool Admits(const QByteArray &request) const;
    // The headers that let the requesting page read the answer: none for the same origin or
    // for a client that is no web page.
    QByteArray HeadersFor(const QByteArray &request) const;

private:
    QStringList allowed_;
};
