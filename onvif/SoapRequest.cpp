#include "onvif/SoapRequest.h"

#include <QXmlStreamReader>

namespace {

const QString SoapEnvelope12 = QStringLiteral("http://www.w3.org/2003/05/soap-envelope");
const QString SoapEnvelope11 = QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");

bool isEnvelope(const QXmlStreamReader &reader, const char *name)
{
    return reader.name() == QLatin1StringView(name) &&
           (reader.namespaceUri() == SoapEnvelope12 || reader.namespaceUri() == SoapEnvelope11);
}

// Reads the security header's user name token; the reader is at its UsernameToken element.
SoapRequest::UsernameToken readToken(QXmlStreamReader &reader)
{
    SoapRequest::UsernameToken token;
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == u"Username") {
            token.user = reader.readElementText();
        } else if (name == u"Password") {
            token.digest = reader.attributes().value(QStringLiteral("Type")).endsWith(u"#PasswordDigest");
            token.password = reader.readElementText();
        } else if (name == u"Nonce") {
            token.nonce = QByteArray::fromBase64(reader.readElementText().toLatin1());
        } else if (name == u"Created") {
            token.created = reader.readElementText();
        } else {
            reader.skipCurrentElement();
        }
    }
    return token;
}

void readHeader(QXmlStreamReader &reader, SoapRequest &request)
{
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            if (reader.name() == u"UsernameToken") {
                request.token = readToken(reader);
            } else {
                ++depth;
            }
        } else if (reader.isEndElement()) {
            --depth;
        }
    }
}

void readOperation(QXmlStreamReader &reader, SoapRequest &request)
{
    request.operation = reader.name().toString();
    request.operationNamespace = reader.namespaceUri().toString();
    int depth = 1;
    QString current;
    while (depth > 0 && !reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            ++depth;
            current = reader.name().toString();
        } else if (reader.isEndElement()) {
            --depth;
            current.clear();
        } else if (reader.isCharacters() && !reader.isWhitespace() && !current.isEmpty() &&
                   !request.values.contains(current)) {
            request.values.insert(current, reader.text().toString().trimmed());
        }
    }
}

} // namespace

std::optional<SoapRequest> ParseSoapRequest(const QByteArray &body, QString &problem)
{
    if (body.size() > SoapRequest::MaxBytes) {
        problem = QStringLiteral("the request is larger than 64 KiB");
        return std::nullopt;
    }
    QXmlStreamReader reader(body);
    SoapRequest request;
    bool inEnvelope = false;
    bool sawBody = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.tokenType() == QXmlStreamReader::DTD || reader.tokenType() == QXmlStreamReader::EntityReference) {
            problem = QStringLiteral("document type declarations are not accepted");
            return std::nullopt;
        }
        if (!reader.isStartElement())
            continue;
        if (!inEnvelope) {
            if (!isEnvelope(reader, "Envelope")) {
                problem = QStringLiteral("the request is no SOAP envelope");
                return std::nullopt;
            }
            inEnvelope = true;
        } else if (isEnvelope(reader, "Header")) {
            readHeader(reader, request);
        } else if (isEnvelope(reader, "Body")) {
            sawBody = true;
            if (reader.readNextStartElement())
                readOperation(reader, request);
        } else {
            reader.skipCurrentElement();
        }
    }
    if (reader.hasError()) {
        problem = QStringLiteral("the XML is not well formed (%1)").arg(reader.errorString());
        return std::nullopt;
    }
    if (!sawBody || request.operation.isEmpty()) {
        problem = QStringLiteral("the envelope has no operation in its body");
        return std::nullopt;
    }
    return request;
}
