#pragma once

#include "onvif/OnvifFacts.h"
#include "onvif/SoapRequest.h"

#include <QByteArray>

// The answers of the second media service, which newer recorders ask instead of the first:
// the same one profile, told in its own shape.
namespace media2answers {

inline const QString Namespace = QStringLiteral("http://www.onvif.org/ver20/media/wsdl");

// A whole envelope; an operation that is not served gets ter:ActionNotSupported.
QByteArray Answer(const SoapRequest &request, const OnvifFacts &facts);

} // namespace media2answers
