#pragma once

#include <QByteArray>
#include <QString>

// What a browser's WebRTC offer allows us to send: the payload type of an H.264 format we can
// send (packetization mode 1, constrained baseline) and of Opus, if it takes sound.
struct WhepOffer {
    int videoPayload = -1;
    QByteArray profileLevelId; // as offered, e.g. "42e01f"
    int audioPayload = -1;     // -1: no Opus in the offer

    // The offer read from its SDP text; on failure, why in `failure` and videoPayload -1.
    static WhepOffer Read(const QByteArray &sdp, QString &failure);

    // The offer's text as webrtcbin is given it: the chosen H.264 format says it takes any
    // level (as the answer does). webrtcbin aborts the whole program on an offer with sound
    // whose H.264 format does not (it links a sender that has no stream).
    QByteArray Normalized(const QByteArray &sdp) const;
};
