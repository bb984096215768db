#include "onvif/Media2Answers.h"

#include "onvif/AnswerParts.h"
#include "onvif/OnvifAnswers.h"

#include <QHash>

#include <functional>

using namespace Qt::StringLiterals;
using namespace answerparts;

namespace {

QString encoderConfiguration(const OnvifFacts &facts, const QString &element)
{
    return u"<%1 token=\"%2\" GovLength=\"%3\" Profile=\"Baseline\"><tt:Name>H.264</tt:Name>"
           "<tt:UseCount>1</tt:UseCount><tt:Encoding>H264</tt:Encoding>%4"
           "<tt:RateControl ConstantBitRate=\"false\"><tt:FrameRateLimit>%5</tt:FrameRateLimit>"
           "<tt:BitrateLimit>%6</tt:BitrateLimit></tt:RateControl><tt:Quality>5</tt:Quality></%1>"_s
               .arg(element, EncoderToken)
               .arg(facts.keyInterval)
               .arg(Resolution(facts))
               .arg(facts.framesPerSecond)
               .arg(facts.bitrateKbps);
}

// Sound as its RTP payload's name: Opus, else AAC.
QString audioEncoderConfiguration(const OnvifFacts &facts)
{
    return u"<tr2:AudioEncoder token=\"%1\"><tt:Name>Sound</tt:Name><tt:UseCount>1</tt:UseCount>"
           "<tt:Encoding>%2</tt:Encoding><tt:Bitrate>64</tt:Bitrate><tt:SampleRate>48</tt:SampleRate>"
           "</tr2:AudioEncoder>"_s.arg(AudioEncoderToken, facts.audioEncoding == u"OPUS" ? u"opus"_s : u"MP4A-LATM"_s);
}

QString profile(const OnvifFacts &facts)
{
    QString configurations = SourceConfiguration(facts, u"tr2:VideoSource"_s);
    if (!facts.audioEncoding.isEmpty())
        configurations += AudioSourceConfiguration(u"tr2:AudioSource"_s);
    configurations += encoderConfiguration(facts, u"tr2:VideoEncoder"_s);
    if (!facts.audioEncoding.isEmpty())
        configurations += audioEncoderConfiguration(facts);
    return u"<tr2:Profiles token=\"%1\" fixed=\"true\"><tr2:Name>Camera, H.264</tr2:Name>"
           "<tr2:Configurations>%2</tr2:Configurations></tr2:Profiles>"_s.arg(ProfileToken, configurations);
}

QString encoderOptions(const OnvifFacts &facts)
{
    return u"<tr2:GetVideoEncoderConfigurationOptionsResponse><tr2:Options GovLengthRange=\"%1 %1\""
           " FrameRatesSupported=\"%2\" ProfilesSupported=\"Baseline\" ConstantBitRateSupported=\"false\">"
           "<tt:Encoding>H264</tt:Encoding><tt:QualityRange><tt:Min>5</tt:Min><tt:Max>5</tt:Max></tt:QualityRange>"
           "<tt:ResolutionsAvailable><tt:Width>%3</tt:Width><tt:Height>%4</tt:Height></tt:ResolutionsAvailable>"
           "<tt:BitrateRange><tt:Min>%5</tt:Min><tt:Max>%5</tt:Max></tt:BitrateRange>"
           "</tr2:Options></tr2:GetVideoEncoderConfigurationOptionsResponse>"_s.arg(facts.keyInterval)
               .arg(facts.framesPerSecond)
               .arg(facts.width)
               .arg(facts.height)
               .arg(facts.bitrateKbps);
}

QString serviceCapabilities()
{
    return u"<tr2:GetServiceCapabilitiesResponse><tr2:Capabilities SnapshotUri=\"true\" Rotation=\"false\""
           " VideoSourceMode=\"false\" OSD=\"false\" TemporaryOSDText=\"false\" Mask=\"false\""
           " SourceMask=\"false\"><tr2:ProfileCapabilities MaximumNumberOfProfiles=\"1\"/>"
           "<tr2:StreamingCapabilities RTSPStreaming=\"true\" RTPMulticast=\"false\" RTP_RTSP_TCP=\"true\""
           " NonAggregateControl=\"false\" AutoStartMulticast=\"false\"/></tr2:Capabilities>"
           "</tr2:GetServiceCapabilitiesResponse>"_s;
}

QString uri(const QString &element, const QString &address)
{
    return u"<%1><tr2:Uri>%2</tr2:Uri></%1>"_s.arg(element, Escaped(address));
}

using Answering = std::function<QString(const SoapRequest &, const OnvifFacts &)>;

const QHash<QString, Answering> &answerings()
{
    static const QHash<QString, Answering> table{
        {u"GetServiceCapabilities"_s, [](const SoapRequest &, const OnvifFacts &) { return serviceCapabilities(); }},
        {u"GetProfiles"_s,
         [](const SoapRequest &, const OnvifFacts &f) {
             return u"<tr2:GetProfilesResponse>"_s + profile(f) + u"</tr2:GetProfilesResponse>"_s;
         }},
        {u"GetVideoSourceConfigurations"_s,
         [](const SoapRequest &, const OnvifFacts &f) {
             return u"<tr2:GetVideoSourceConfigurationsResponse>"_s + SourceConfiguration(f, u"tr2:Configurations"_s) +
                    u"</tr2:GetVideoSourceConfigurationsResponse>"_s;
         }},
        {u"GetVideoEncoderConfigurations"_s,
         [](const SoapRequest &, const OnvifFacts &f) {
             return u"<tr2:GetVideoEncoderConfigurationsResponse>"_s +
                    encoderConfiguration(f, u"tr2:Configurations"_s) +
                    u"</tr2:GetVideoEncoderConfigurationsResponse>"_s;
         }},
        {u"GetVideoEncoderConfigurationOptions"_s,
         [](const SoapRequest &, const OnvifFacts &f) { return encoderOptions(f); }},
        {u"GetStreamUri"_s,
         [](const SoapRequest &, const OnvifFacts &f) { return uri(u"tr2:GetStreamUriResponse"_s, f.streamUri); }},
        {u"GetSnapshotUri"_s,
         [](const SoapRequest &, const OnvifFacts &f) { return uri(u"tr2:GetSnapshotUriResponse"_s, f.snapshotUri); }},
    };
    return table;
}

} // namespace

QByteArray media2answers::Answer(const SoapRequest &request, const OnvifFacts &facts)
{
    const auto found = answerings().constFind(request.operation);
    if (const auto refusal = Refusal(request, found != answerings().constEnd()))
        return *refusal;
    // The stream is served over RTSP, its pictures over UDP or the RTSP connection; not to a group.
    const QString protocol = request.values.value(u"Protocol"_s);
    if (request.operation == u"GetStreamUri" && (protocol == u"RtspMulticast" || protocol == u"RtspOverHttp"))
        return onvifanswers::Fault(u"Sender"_s, u"ter:InvalidStreamSetup"_s,
                                   u"The stream is offered as RtspUnicast or RTSP only"_s);
    return onvifanswers::Envelope(found.value()(request, facts));
}
