#include "live/WhepOffer.h"

#include <gst/sdp/gstsdpmessage.h>

#include <QList>

#include <memory>

namespace {

struct SdpFree {
    void operator()(GstSDPMessage *message) const { gst_sdp_message_free(message); }
};

// The format parameters of one payload type, as "key=value;key=value"; empty when none.
QByteArray formatParameters(const GstSDPMedia *media, int payload)
{
    const QByteArray prefix = QByteArray::number(payload) + ' ';
    for (guint i = 0; i < gst_sdp_media_attributes_len(media); ++i) {
        const GstSDPAttribute *attribute = gst_sdp_media_get_attribute(media, i);
        if (attribute->key && attribute->value && qstrcmp(attribute->key, "fmtp") == 0 &&
            QByteArray(attribute->value).startsWith(prefix))
            return QByteArray(attribute->value).mid(prefix.size()).trimmed();
    }
    return {};
}

QByteArray parameter(const QByteArray &parameters, const QByteArray &key)
{
    for (const QByteArray &pair : parameters.split(';')) {
        const QByteArray trimmed = pair.trimmed();
        if (trimmed.toLower().startsWith(key + '='))
            return trimmed.mid(key.size() + 1);
    }
    return {};
}

// Constrained baseline (baseline with constraint_set1): what the encoder makes.
bool constrainedBaseline(const QByteArray &profileLevelId)
{
    bool ok = false;
    const uint value = profileLevelId.toUInt(&ok, 16);
    return ok && profileLevelId.size() == 6 && (value >> 16) == 0x42 && (value & 0x4000) != 0;
}

// A payload type an offer may map to a codec: the dynamic ones (96-127, and 35-63 that
// browsers take when those run out); static or out-of-range ones are not ours to send.
bool dynamicPayload(int payload) { return (payload >= 96 && payload <= 127) || (payload >= 35 && payload <= 63); }

// Whether the browser takes what the media sends: not when it only sends or takes nothing.
bool receives(const GstSDPMessage *message, const GstSDPMedia *media)
{
    for (const char *refusal : {"sendonly", "inactive"}) {
        if (gst_sdp_media_get_attribute_val(media, refusal))
            return false;
    }
    for (const char *direction : {"recvonly", "sendrecv"}) {
        if (gst_sdp_media_get_attribute_val(media, direction))
            return true;
    }
    return !gst_sdp_message_get_attribute_val(message, "sendonly") &&
           !gst_sdp_message_get_attribute_val(message, "inactive");
}

// Payload types of an encoding ("H264", "opus") in one media, in the offer's order of preference.
template <typename Accept> int choosePayload(const GstSDPMedia *media, const char *encoding, Accept accept)
{
    for (guint i = 0; i < gst_sdp_media_formats_len(media); ++i) {
        bool ok = false;
        const int payload = QByteArray(gst_sdp_media_get_format(media, i)).toInt(&ok);
        if (!ok || !dynamicPayload(payload))
            continue;
        const QByteArray map = QByteArray::number(payload) + ' ';
        for (guint a = 0; a < gst_sdp_media_attributes_len(media); ++a) {
            const GstSDPAttribute *attribute = gst_sdp_media_get_attribute(media, a);
            if (!attribute->key || !attribute->value || qstrcmp(attribute->key, "rtpmap") != 0)
                continue;
            const QByteArray value(attribute->value);
            if (value.startsWith(map) &&
                value.mid(map.size()).toLower().startsWith(QByteArray(encoding).toLower() + '/') &&
                accept(formatParameters(media, payload)))
                return payload;
        }
    }
    return -1;
}

} // namespace

WhepOffer WhepOffer::Read(const QByteArray &sdp, QString &failure)
{
    WhepOffer offer;
    GstSDPMessage *raw = nullptr;
    gst_sdp_message_new(&raw);
    std::unique_ptr<GstSDPMessage, SdpFree> message(raw);
    if (sdp.isEmpty() ||
        gst_sdp_message_parse_buffer(reinterpret_cast<const guint8 *>(sdp.constData()), sdp.size(), raw) !=
            GST_SDP_OK ||
        gst_sdp_message_medias_len(raw) == 0) {
        failure = QStringLiteral("the offer is not a session description");
        return offer;
    }
    bool refusedDirection = false;
    for (guint i = 0; i < gst_sdp_message_medias_len(raw); ++i) {
        const GstSDPMedia *media = gst_sdp_message_get_media(raw, i);
        const QByteArray kind(gst_sdp_media_get_media(media));
        if (!receives(raw, media)) {
            refusedDirection = refusedDirection || kind == "video";
            continue;
        }
        if (kind == "video" && offer.videoPayload < 0) {
            offer.videoPayload = choosePayload(media, "H264", [&offer](const QByteArray &parameters) {
                if (parameter(parameters, "packetization-mode") != "1" ||
                    !constrainedBaseline(parameter(parameters, "profile-level-id")))
                    return false;
                offer.profileLevelId = parameter(parameters, "profile-level-id").toLower();
                return true;
            });
        } else if (kind == "audio" && offer.audioPayload < 0) {
            offer.audioPayload = choosePayload(media, "opus", [](const QByteArray &) { return true; });
        }
    }
    if (offer.videoPayload < 0 && refusedDirection)
        failure = QStringLiteral("the offer does not receive the picture (sendonly or inactive)");
    else if (offer.videoPayload < 0)
        failure = QStringLiteral("the offer takes no H.264 in packetization mode 1, constrained baseline");
    return offer;
}

QByteArray WhepOffer::Normalized(const QByteArray &sdp) const
{
    const QByteArray prefix = "a=fmtp:" + QByteArray::number(videoPayload) + ' ';
    QList<QByteArray> lines = sdp.split('\n');
    for (QByteArray &line : lines) {
        if (line.startsWith(prefix) && !line.toLower().contains("level-asymmetry-allowed"))
            line.insert(prefix.size(), "level-asymmetry-allowed=1;");
    }
    return lines.join('\n');
}
