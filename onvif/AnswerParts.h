#pragma once

#include "onvif/OnvifFacts.h"

#include "onvif/SoapRequest.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Pieces both media services' answers are made of: the one profile's tokens, and the
// descriptions of the camera that the two versions share.
namespace answerparts {

inline const QString ProfileToken = QStringLiteral("vantrel_h264");
inline const QString SourceToken = QStringLiteral("vantrel_camera");
inline const QString SourceConfigurationToken = QStringLiteral("vantrel_camera_config");
inline const QString EncoderToken = QStringLiteral("vantrel_h264_encoder");
inline const QString AudioSourceToken = QStringLiteral("vantrel_microphone");
inline const QString AudioEncoderToken = QStringLiteral("vantrel_audio_encoder");

// Text made safe for an element or an attribute.
inline QString Escaped(const QString &text) { return text.toHtmlEscaped(); }
QString Resolution(const OnvifFacts &facts);
// The camera's video source configuration, as the element named.
QString SourceConfiguration(const OnvifFacts &facts, const QString &element);
// The microphone's source configuration, as the element named.
QString AudioSourceConfiguration(const QString &element);
// The fault for a request that is not `served`, or that names a profile other than ours; none
// for one to answer.
std::optional<QByteArray> Refusal(const SoapRequest &request, bool served);

} // namespace answerparts
