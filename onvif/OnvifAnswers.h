#pragma once

#include "onvif/OnvifFacts.h"
#include "onvif/SoapRequest.h"

#include <QByteArray>

// The answers of the device and media services, each a whole SOAP 1.2 envelope built from a
// template with every value escaped. An operation that is not served gets the fault
// ter:ActionNotSupported.
namespace onvifanswers {

QByteArray Answer(const SoapRequest &request, const OnvifFacts &facts);
// A SOAP fault: "Sender" or "Receiver", the ONVIF subcode (as "ter:NotAuthorized"), a reason.
QByteArray Fault(const QString &code, const QString &subcode, const QString &reason);
// The camera's scopes, as discovery and GetScopes tell them.
QStringList Scopes(const OnvifFacts &facts);
// Whether the operation is one any client may ask without logging in.
bool IsOpen(const QString &operation);
// A whole envelope around the body; the namespaces of the device, media and events services,
// the schema, WS-Addressing and WS-BaseNotification are declared.
QByteArray Envelope(const QString &body);

} // namespace onvifanswers
