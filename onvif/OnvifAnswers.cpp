#include "onvif/OnvifAnswers.h"

#include "onvif/AnswerParts.h"
#include "onvif/Media2Answers.h"

#include <QHash>
#include <QUrl>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

using namespace answerparts;

QString e(const QString &text) { return Escaped(text); }

QByteArray envelope(const QString &body) { return onvifanswers::Envelope(body); }

QString dateTime(const QDateTime &time)
{
    const QDateTime utc = time.toUTC();
    return u"<tt:Time><tt:Hour>%1</tt:Hour><tt:Minute>%2</tt:Minute><tt:Second>%3</tt:Second></tt:Time>"
           "<tt:Date><tt:Year>%4</tt:Year><tt:Month>%5</tt:Month><tt:Day>%6</tt:Day></tt:Date>"_s.arg(utc.time().hour())
               .arg(utc.time().minute())
               .arg(utc.time().second())
               .arg(utc.date().year())
               .arg(utc.date().month())
               .arg(utc.date().day());
}

QString systemDateAndTime(const OnvifFacts &facts)
{
    return u"<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime>"
           "<tt:DateTimeType>NTP</tt:DateTimeType><tt:DaylightSavings>false</tt:DaylightSavings>"
           "<tt:TimeZone><tt:TZ>UTC0</tt:TZ></tt:TimeZone><tt:UTCDateTime>%1</tt:UTCDateTime>"
           "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>"_s.arg(dateTime(facts.now));
}

QString deviceInformation(const OnvifFacts &facts)
{
    return u"<tds:GetDeviceInformationResponse><tds:Manufacturer>Vantrel</tds:Manufacturer>"
           "<tds:Model>%1</tds:Model><tds:FirmwareVersion>%2</tds:FirmwareVersion>"
           "<tds:SerialNumber>%3</tds:SerialNumber><tds:HardwareId>%4</tds:HardwareId>"
           "</tds:GetDeviceInformationResponse>"_s.arg(e(facts.name), e(facts.version), e(facts.uuid.section(u':', -1)),
                                                       e(facts.hardware));
}

QString capabilities(const OnvifFacts &facts)
{
    const QString base = e(facts.serviceBase);
    return u"<tds:GetCapabilitiesResponse><tds:Capabilities>"
           "<tt:Device><tt:XAddr>%1/onvif/device_service</tt:XAddr>"
           "<tt:System><tt:DiscoveryResolve>false</tt:DiscoveryResolve><tt:DiscoveryBye>true</tt:DiscoveryBye>"
           "<tt:RemoteDiscovery>false</tt:RemoteDiscovery><tt:SystemBackup>false</tt:SystemBackup>"
           "<tt:SystemLogging>false</tt:SystemLogging><tt:FirmwareUpgrade>false</tt:FirmwareUpgrade>"
           "<tt:SupportedVersions><tt:Major>2</tt:Major><tt:Minor>0</tt:Minor></tt:SupportedVersions>"
           "</tt:System></tt:Device>"
           "<tt:Media><tt:XAddr>%1/onvif/media_service</tt:XAddr><tt:StreamingCapabilities>"
           "<tt:RTPMulticast>false</tt:RTPMulticast><tt:RTP_TCP>true</tt:RTP_TCP><tt:RTP_RTSP_TCP>true</"
           "tt:RTP_RTSP_TCP>"
           "</tt:StreamingCapabilities></tt:Media>"
           "<tt:Events><tt:XAddr>%1/onvif/events_service</tt:XAddr><tt:WSSubscriptionPolicySupport>false"
           "</tt:WSSubscriptionPolicySupport><tt:WSPullPointSupport>true</tt:WSPullPointSupport>"
           "<tt:WSPausableSubscriptionManagerInterfaceSupport>false</tt:WSPausableSubscriptionManagerInterfaceSupport>"
           "</tt:Events>"
           "</tds:Capabilities></tds:GetCapabilitiesResponse>"_s.arg(base);
}

QString services(const OnvifFacts &facts)
{
    const QString base = e(facts.serviceBase);
    QString list;
    for (const auto &[space, path] : {std::pair{u"http://www.onvif.org/ver10/device/wsdl"_s, u"device_service"_s},
                                      std::pair{u"http://www.onvif.org/ver10/media/wsdl"_s, u"media_service"_s},
                                      std::pair{u"http://www.onvif.org/ver20/media/wsdl"_s, u"media2_service"_s},
                                      std::pair{u"http://www.onvif.org/ver10/events/wsdl"_s, u"events_service"_s}})
        list += u"<tds:Service><tds:Namespace>%1</tds:Namespace><tds:XAddr>%2/onvif/%3</tds:XAddr>"
                "<tds:Version><tt:Major>2</tt:Major><tt:Minor>0</tt:Minor></tds:Version></tds:Service>"_s.arg(
                    space, base, path);
    return u"<tds:GetServicesResponse>"_s + list + u"</tds:GetServicesResponse>"_s;
}

QString scopes(const OnvifFacts &facts)
{
    QString list;
    for (const QString &scope : onvifanswers::Scopes(facts))
        list +=
            u"<tds:Scopes><tt:ScopeDef>Fixed</tt:ScopeDef><tt:ScopeItem>%1</tt:ScopeItem></tds:Scopes>"_s.arg(e(scope));
    return u"<tds:GetScopesResponse>"_s + list + u"</tds:GetScopesResponse>"_s;
}

QString networkInterfaces(const OnvifFacts &facts)
{
    QString list;
    for (int n = 0; n < facts.addresses.size(); ++n)
        list += u"<tds:NetworkInterfaces token=\"eth%1\"><tt:Enabled>true</tt:Enabled>"
                "<tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Config><tt:Manual><tt:Address>%2</tt:Address>"
                "<tt:PrefixLength>24</tt:PrefixLength></tt:Manual><tt:DHCP>false</tt:DHCP></tt:Config></tt:IPv4>"
                "</tds:NetworkInterfaces>"_s.arg(n)
                    .arg(e(facts.addresses[n]));
    return u"<tds:GetNetworkInterfacesResponse>"_s + list + u"</tds:GetNetworkInterfacesResponse>"_s;
}

QString hostname(const OnvifFacts &facts)
{
    return u"<tds:GetHostnameResponse><tds:HostnameInformation><tt:FromDHCP>false</tt:FromDHCP>"
           "<tt:Name>%1</tt:Name></tds:HostnameInformation></tds:GetHostnameResponse>"_s.arg(e(facts.hostName));
}

QString encoderConfiguration(const OnvifFacts &facts, const QString &element)
{
    return u"<%1 token=\"%2\"><tt:Name>H.264</tt:Name><tt:UseCount>1</tt:UseCount><tt:Encoding>H264</tt:Encoding>"
           "%3<tt:Quality>5</tt:Quality><tt:RateControl><tt:FrameRateLimit>%4</tt:FrameRateLimit>"
           "<tt:EncodingInterval>1</tt:EncodingInterval><tt:BitrateLimit>%5</tt:BitrateLimit></tt:RateControl>"
           "<tt:H264><tt:GovLength>%6</tt:GovLength><tt:H264Profile>Baseline</tt:H264Profile></tt:H264>"
           "<tt:Multicast><tt:Address><tt:Type>IPv4</tt:Type><tt:IPv4Address>0.0.0.0</tt:IPv4Address></tt:Address>"
           "<tt:Port>0</tt:Port><tt:TTL>1</tt:TTL><tt:AutoStart>false</tt:AutoStart></tt:Multicast>"
           "<tt:SessionTimeout>PT60S</tt:SessionTimeout></%1>"_s.arg(element, EncoderToken, Resolution(facts))
               .arg(facts.framesPerSecond)
               .arg(facts.bitrateKbps)
               .arg(facts.keyInterval);
}

QString audioConfigurations(const OnvifFacts &facts)
{
    if (facts.audioEncoding.isEmpty())
        return {};
    return AudioSourceConfiguration(u"tt:AudioSourceConfiguration"_s) +
           u"<tt:AudioEncoderConfiguration token=\"%1\"><tt:Name>Sound</tt:Name><tt:UseCount>1</tt:UseCount>"
           "<tt:Encoding>%2</tt:Encoding><tt:Bitrate>64</tt:Bitrate><tt:SampleRate>48</tt:SampleRate>"
           "<tt:SessionTimeout>PT60S</tt:SessionTimeout></tt:AudioEncoderConfiguration>"_s.arg(
               AudioEncoderToken, facts.audioEncoding == u"OPUS" ? u"OPUS"_s : u"AAC"_s);
}

QString profile(const OnvifFacts &facts, const QString &element)
{
    return u"<%1 token=\"%2\" fixed=\"true\"><tt:Name>Camera, H.264</tt:Name>"_s.arg(element, ProfileToken) +
           SourceConfiguration(facts, u"tt:VideoSourceConfiguration"_s) + audioConfigurations(facts) +
           encoderConfiguration(facts, u"tt:VideoEncoderConfiguration"_s) + u"</%1>"_s.arg(element);
}

QString videoSources(const OnvifFacts &facts)
{
    return u"<trt:GetVideoSourcesResponse><trt:VideoSources token=\"%1\"><tt:Framerate>%2</tt:Framerate>%3"
           "</trt:VideoSources></trt:GetVideoSourcesResponse>"_s.arg(SourceToken)
               .arg(facts.framesPerSecond)
               .arg(Resolution(facts));
}

QString encoderOptions(const OnvifFacts &facts)
{
    return u"<trt:GetVideoEncoderConfigurationOptionsResponse><trt:Options>"
           "<tt:QualityRange><tt:Min>5</tt:Min><tt:Max>5</tt:Max></tt:QualityRange>"
           "<tt:H264><tt:ResolutionsAvailable><tt:Width>%1</tt:Width><tt:Height>%2</tt:Height></"
           "tt:ResolutionsAvailable>"
           "<tt:GovLengthRange><tt:Min>%3</tt:Min><tt:Max>%3</tt:Max></tt:GovLengthRange>"
           "<tt:FrameRateRange><tt:Min>%4</tt:Min><tt:Max>%4</tt:Max></tt:FrameRateRange>"
           "<tt:EncodingIntervalRange><tt:Min>1</tt:Min><tt:Max>1</tt:Max></tt:EncodingIntervalRange>"
           "<tt:H264ProfilesSupported>Baseline</tt:H264ProfilesSupported></tt:H264>"
           "</trt:Options></trt:GetVideoEncoderConfigurationOptionsResponse>"_s.arg(facts.width)
               .arg(facts.height)
               .arg(facts.keyInterval)
               .arg(facts.framesPerSecond);
}

QString mediaUri(const QString &element, const QString &uri)
{
    return u"<%1><trt:MediaUri><tt:Uri>%2</tt:Uri><tt:InvalidAfterConnect>false</tt:InvalidAfterConnect>"
           "<tt:InvalidAfterReboot>false</tt:InvalidAfterReboot><tt:Timeout>PT0S</tt:Timeout></trt:MediaUri></%1>"_s
               .arg(element, e(uri));
}

using Answering = std::function<QString(const SoapRequest &, const OnvifFacts &)>;

const QHash<QString, Answering> &answerings()
{
    static const QHash<QString, Answering> table{
        {u"GetSystemDateAndTime"_s, [](const SoapRequest &, const OnvifFacts &f) { return systemDateAndTime(f); }},
        {u"GetDeviceInformation"_s, [](const SoapRequest &, const OnvifFacts &f) { return deviceInformation(f); }},
        {u"GetCapabilities"_s, [](const SoapRequest &, const OnvifFacts &f) { return capabilities(f); }},
        {u"GetServices"_s, [](const SoapRequest &, const OnvifFacts &f) { return services(f); }},
        {u"GetScopes"_s, [](const SoapRequest &, const OnvifFacts &f) { return scopes(f); }},
        {u"GetNetworkInterfaces"_s, [](const SoapRequest &, const OnvifFacts &f) { return networkInterfaces(f); }},
        {u"GetHostname"_s, [](const SoapRequest &, const OnvifFacts &f) { return hostname(f); }},
        {u"GetProfiles"_s,
         [](const SoapRequest &, const OnvifFacts &f) {
             return u"<trt:GetProfilesResponse>"_s + profile(f, u"trt:Profiles"_s) + u"</trt:GetProfilesResponse>"_s;
         }},
        {u"GetProfile"_s,
         [](const SoapRequest &, const OnvifFacts &f) {
             return u"<trt:GetProfileResponse>"_s + profile(f, u"trt:Profile"_s) + u"</trt:GetProfileResponse>"_s;
         }},
        {u"GetVideoSources"_s, [](const SoapRequest &, const OnvifFacts &f) { return videoSources(f); }},
        {u"GetVideoSourceConfigurations"_s,
         [](const SoapRequest &, const OnvifFacts &f) {
             return u"<trt:GetVideoSourceConfigurationsResponse>"_s + SourceConfiguration(f, u"trt:Configurations"_s) +
                    u"</trt:GetVideoSourceConfigurationsResponse>"_s;
         }},
        {u"GetVideoEncoderConfigurations"_s,
         [](const SoapRequest &, const OnvifFacts &f) {
             return u"<trt:GetVideoEncoderConfigurationsResponse>"_s +
                    encoderConfiguration(f, u"trt:Configurations"_s) +
                    u"</trt:GetVideoEncoderConfigurationsResponse>"_s;
         }},
        {u"GetVideoEncoderConfiguration"_s,
         [](const SoapRequest &, const OnvifFacts &f) {
             return u"<trt:GetVideoEncoderConfigurationResponse>"_s + encoderConfiguration(f, u"trt:Configuration"_s) +
                    u"</trt:GetVideoEncoderConfigurationResponse>"_s;
         }},
        {u"GetVideoEncoderConfigurationOptions"_s,
         [](const SoapRequest &, const OnvifFacts &f) { return encoderOptions(f); }},
        {u"GetStreamUri"_s,
         [](const SoapRequest &, const OnvifFacts &f) { return mediaUri(u"trt:GetStreamUriResponse"_s, f.streamUri); }},
        {u"GetSnapshotUri"_s,
         [](const SoapRequest &, const OnvifFacts &f) {
             return mediaUri(u"trt:GetSnapshotUriResponse"_s, f.snapshotUri);
         }},
    };
    return table;
}

} // namespace

QByteArray onvifanswers::Answer(const SoapRequest &request, const OnvifFacts &facts)
{
    if (request.operationNamespace == media2answers::Namespace)
        return media2answers::Answer(request, facts);
    const bool known = request.operationNamespace == u"http://www.onvif.org/ver10/device/wsdl" ||
                       request.operationNamespace == u"http://www.onvif.org/ver10/media/wsdl";
    const auto found = known ? answerings().constFind(request.operation) : answerings().constEnd();
    if (const auto refusal = Refusal(request, found != answerings().constEnd()))
        return *refusal;
    return envelope(found.value()(request, facts));
}

QByteArray onvifanswers::Fault(const QString &code, const QString &subcode, const QString &reason)
{
    const QString parent = subcode == u"ter:NotAuthorized" ? u"ter:OperationProhibited"_s
                           : code == u"Sender"             ? u"ter:InvalidArgVal"_s
                                                           : u"ter:ActionNotSupported"_s;
    const QString inner =
        parent == subcode ? QString() : u"<s:Subcode><s:Value>%1</s:Value></s:Subcode>"_s.arg(e(subcode));
    return envelope(u"<s:Fault><s:Code><s:Value>s:%1</s:Value><s:Subcode><s:Value>%2</s:Value>%3</s:Subcode>"
                    "</s:Code><s:Reason><s:Text xml:lang=\"en\">%4</s:Text></s:Reason></s:Fault>"_s.arg(
                        e(code), parent, inner, e(reason)));
}

QByteArray onvifanswers::Envelope(const QString &body)
{
    return (u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
            " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\""
            " xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\""
            " xmlns:tr2=\"http://www.onvif.org/ver20/media/wsdl\""
            " xmlns:tev=\"http://www.onvif.org/ver10/events/wsdl\""
            " xmlns:tt=\"http://www.onvif.org/ver10/schema\""
            " xmlns:tns1=\"http://www.onvif.org/ver10/topics\""
            " xmlns:wsnt=\"http://docs.oasis-open.org/wsn/b-2\""
            " xmlns:wstop=\"http://docs.oasis-open.org/wsn/t-1\""
            " xmlns:wsa=\"http://www.w3.org/2005/08/addressing\""
            " xmlns:ter=\"http://www.onvif.org/ver10/error\">"
            "<s:Body>"_s +
            body + u"</s:Body></s:Envelope>\n"_s)
        .toUtf8();
}

QStringList onvifanswers::Scopes(const OnvifFacts &facts)
{
    return {u"onvif://www.onvif.org/Profile/Streaming"_s, u"onvif://www.onvif.org/type/video_encoder"_s,
            u"onvif://www.onvif.org/name/"_s + QString::fromLatin1(QUrl::toPercentEncoding(facts.name)),
            u"onvif://www.onvif.org/hardware/"_s + QString::fromLatin1(QUrl::toPercentEncoding(facts.hardware)),
            u"onvif://www.onvif.org/location/"_s + QString::fromLatin1(QUrl::toPercentEncoding(facts.hostName))};
}

bool onvifanswers::IsOpen(const QString &operation) { return operation == u"GetSystemDateAndTime"; }
