#include "resources/BuiltInResources.h"

#include <QBuffer>

// Placeholder until the built-in files land.
std::unique_ptr<QIODevice> OpenBuiltInResource(const QString &name)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(name.toLatin1());
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}
