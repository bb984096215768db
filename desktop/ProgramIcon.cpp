#include "desktop/ProgramIcon.h"

#include <QDirIterator>

// A static library's resources register only when something refers to them.
static void registerIconResources() { Q_INIT_RESOURCE(icons); }

QIcon ProgramIcon()
{
    static const bool registered = (registerIconResources(), true);
    Q_UNUSED(registered);
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icon/icons"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (sizes.hasNext())
        icon.addFile(sizes.next() + QStringLiteral("/vantrel.png"));
    return icon;
}
