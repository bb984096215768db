#include "app/VantrelApplication.h"

#include "app/AppInfo.h"
#include "app/seams/Exception.h"
#include "app/seams/Seams.h"

VantrelApplication::VantrelApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool VantrelApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception &error) {
        ShowException(error.message());
    } catch (const std::exception &error) {
        ShowException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowException(QStringLiteral("An unexpected error occurred."));
    }
    return false;
}

void VantrelApplication::ShowException(const QString &message)
{
    if (!QCoreApplication::instance()) {
        qCritical("%s", qUtf8Printable(message));
        return;
    }
    seams::ShowMessage(nullptr, AppTitle, message);
}
