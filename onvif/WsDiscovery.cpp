#include "onvif/WsDiscovery.h"

#include <QDateTime>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUuid>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

const QHostAddress Group(u"239.255.255.250"_s);
constexpr qsizetype MostProbeBytes = 16 * 1024;
constexpr int MostAddressesRemembered = 1024;

struct Probe {
    QString messageId;
    QStringList types;
    QStringList scopes;
};

// The probe's message id, types and scopes; none when it is no probe (or not one to read).
std::optional<Probe> probeOf(const QByteArray &datagram)
{
    if (datagram.size() > MostProbeBytes)
        return std::nullopt;
    QXmlStreamReader reader(datagram);
    Probe probe;
    bool isProbe = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.tokenType() == QXmlStreamReader::DTD || reader.tokenType() == QXmlStreamReader::EntityReference)
            return std::nullopt;
        if (!reader.isStartElement())
            continue;
        const QStringView name = reader.name();
        if (name == u"MessageID")
            probe.messageId = reader.readElementText().trimmed();
        else if (name == u"Probe")
            isProbe = true;
        else if (isProbe && name == u"Types")
            probe.types = reader.readElementText().simplified().split(u' ', Qt::SkipEmptyParts);
        else if (isProbe && name == u"Scopes")
            probe.scopes = reader.readElementText().simplified().split(u' ', Qt::SkipEmptyParts);
    }
    if (reader.hasError() || !isProbe)
        return std::nullopt;
    return probe;
}

// A probe for no type, or for a device or video transmitter, by their local names.
bool asksForUs(const Probe &probe)
{
    if (probe.types.isEmpty())
        return true;
    for (const QString &type : probe.types) {
        const QString local = type.section(u':', -1);
        if (local == u"NetworkVideoTransmitter" || local == u"Device")
            return true;
    }
    return false;
}

bool scopesMatch(const QStringList &asked, const QStringList &ours)
{
    for (const QString &scope : asked) {
        const bool matched = std::any_of(ours.begin(), ours.end(), [&](const QString &own) {
            return own.compare(scope, Qt::CaseInsensitive) == 0 || own.startsWith(scope + u'/', Qt::CaseInsensitive);
        });
        if (!matched)
            return false;
    }
    return true;
}

QString escaped(const QString &text) { return text.toHtmlEscaped(); }

} // namespace

bool WsDiscovery::Start(quint16 port, QString &failure)
{
    Stop();
    port_ = port;
    auto socket = std::make_unique<QUdpSocket>(this);
    if (!socket->bind(QHostAddress::AnyIPv4, port_, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        failure = socket->errorString();
        return false;
    }
    socket->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 1);
    bool joined = false;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::CanMulticast))
            continue;
        joined = socket->joinMulticastGroup(Group, interface) || joined;
    }
    if (!joined)
        joined = socket->joinMulticastGroup(Group);
    if (!joined) {
        failure = u"no network interface takes multicast"_s;
        return false;
    }
    socket_ = socket.release();
    connect(socket_, &QUdpSocket::readyRead, this, &WsDiscovery::readProbes);
    instance_ = QDateTime::currentSecsSinceEpoch();
    address_ = Describe ? Describe().address : QString();
    messageNumber_ = 0;
    sendToGroup(announcement(u"Hello"_s, QString()));
    return true;
}

void WsDiscovery::Stop()
{
    if (!socket_)
        return;
    sendToGroup(announcement(u"Bye"_s, QString()));
    socket_->close();
    delete socket_;
    socket_ = nullptr;
    answered_.clear();
}

void WsDiscovery::readProbes()
{
    while (socket_ && socket_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_->receiveDatagram(MostProbeBytes + 1);
        answer(datagram.data(), datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
    }
}

void WsDiscovery::answer(const QByteArray &datagram, const QHostAddress &from, quint16 port)
{
    const std::optional<Probe> probe = probeOf(datagram);
    if (!probe || !asksForUs(*probe) || !Describe || !scopesMatch(probe->scopes, Describe().scopes))
        return;
    if (!paced(from.toString()))
        return;
    socket_->writeDatagram(announcement(u"ProbeMatches"_s, probe->messageId), from, port);
}

// At most MostAnswersPerSecond answers a second to one address.
bool WsDiscovery::paced(const QString &address)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (answered_.size() > MostAddressesRemembered)
        answered_.clear();
    QList<qint64> &times = answered_[address];
    while (!times.isEmpty() && now - times.first() >= 1000)
        times.removeFirst();
    if (times.size() >= MostAnswersPerSecond)
        return false;
    times.append(now);
    return true;
}

void WsDiscovery::sendToGroup(const QByteArray &message)
{
    if (socket_)
        socket_->writeDatagram(message, Group, port_);
}

// Hello, Bye or ProbeMatches, as SOAP 1.2 over WS-Addressing (2004/08) and WS-Discovery (2005/04).
QByteArray WsDiscovery::announcement(const QString &kind, const QString &relatesTo)
{
    // Bye is said on the way out, when what describes the camera may be gone.
    const Endpoint endpoint = kind == u"Bye" ? Endpoint{address_, {}, {}} : Describe ? Describe() : Endpoint{};
    const bool match = kind == u"ProbeMatches";
    const QString to = match ? u"http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous"_s
                             : u"urn:schemas-xmlsoap-org:ws:2005:04:discovery"_s;
    const QString details = kind == u"Bye"
                                ? QString()
                                : u"<d:Types>dn:NetworkVideoTransmitter tds:Device</d:Types><d:Scopes>%1</d:Scopes>"
                                  "<d:XAddrs>%2</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion>"_s.arg(
                                      escaped(endpoint.scopes.join(u' ')), escaped(endpoint.deviceServices.join(u' ')));
    const QString inner =
        u"<a:EndpointReference><a:Address>%1</a:Address></a:EndpointReference>"_s.arg(escaped(endpoint.address)) +
        details;
    const QString body = match ? u"<d:ProbeMatches><d:ProbeMatch>%1</d:ProbeMatch></d:ProbeMatches>"_s.arg(inner)
                               : u"<d:%1>%2</d:%1>"_s.arg(kind, inner);
    return (u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
            " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
            " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
            " xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\""
            " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\"><s:Header>"
            "<a:MessageID>urn:uuid:%1</a:MessageID>%2<a:To>%3</a:To>"
            "<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/%4</a:Action>"
            "<d:AppSequence InstanceId=\"%5\" MessageNumber=\"%6\"/></s:Header><s:Body>%7</s:Body></s:Envelope>"_s
                .arg(QUuid::createUuid().toString(QUuid::WithoutBraces),
                     relatesTo.isEmpty() ? QString() : u"<a:RelatesTo>%1</a:RelatesTo>"_s.arg(escaped(relatesTo)), to,
                     kind)
                .arg(instance_)
                .arg(++messageNumber_)
                .arg(body))
        .toUtf8();
}
