#include "base/seams/ExceptionDisplay.h"

#include "base/seams/Exception.h"
#include "base/seams/Seams.h"

#include <QCoreApplication>

#include <exception>

void ShowException(const QString &message)
{
    if (!QCoreApplication::instance()) {
        qCritical("%s", qUtf8Printable(message));
        return;
    }
    seams::ShowMessage(nullptr, QCoreApplication::applicationName(), message);
}

void ShowCurrentException()
{
    try {
        throw;
    } catch (const Exception &error) {
        ShowException(error.message());
    } catch (const std::exception &error) {
        ShowException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowException(QStringLiteral("An unexpected error occurred."));
    }
}
