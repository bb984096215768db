#include "resources/BuiltInResources.h"

#include <QFile>

#include <array>

// A static library's resources register only when something refers to them.
static void registerBuiltInResources() { Q_INIT_RESOURCE(resources); }

namespace {

struct BuiltInResource {
    QLatin1StringView name;
    QLatin1StringView path;
};

// The paths are the aliases in resources.qrc.
constexpr std::array builtInResources = {
    BuiltInResource{QLatin1StringView("HtmlIndex"), QLatin1StringView(":/builtin/htmlindex")},
    BuiltInResource{QLatin1StringView("HtmlLive"), QLatin1StringView(":/builtin/htmllive")},
    BuiltInResource{QLatin1StringView("ResImage"), QLatin1StringView(":/builtin/resimage")},
    BuiltInResource{QLatin1StringView("OfflineImage"), QLatin1StringView(":/builtin/offlineimage")},
};

void ensureRegistered()
{
    static const bool registered = (registerBuiltInResources(), true);
    Q_UNUSED(registered);
}

const BuiltInResource *findBuiltInResource(const QString &name)
{
    for (const BuiltInResource &resource : builtInResources) {
        if (name.compare(resource.name, Qt::CaseInsensitive) == 0)
            return &resource;
    }
    return nullptr;
}

} // namespace

std::unique_ptr<QIODevice> OpenBuiltInResource(const QString &name)
{
    const BuiltInResource *resource = findBuiltInResource(name);
    if (!resource)
        return nullptr;
    ensureRegistered();
    auto file = std::make_unique<QFile>(resource->path);
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    return file;
}
