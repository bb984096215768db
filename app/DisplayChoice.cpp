#include "app/DisplayChoice.h"

#include <QByteArray>

#include <dlfcn.h>

using namespace Qt::StringLiterals;

namespace {

bool chosenHere = false;

// Asks the X server itself, through the library that Qt's X11 support uses as well. Without
// that library Qt reports the problem itself.
bool xServerAnswers(const QString &display)
{
    void *library = ::dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!library)
        return true;
    using Connect = void *(*)(const char *, int *);
    using HasError = int (*)(void *);
    using Disconnect = void (*)(void *);
    const auto connect = reinterpret_cast<Connect>(::dlsym(library, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(::dlsym(library, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(library, "xcb_disconnect"));
    bool answers = true;
    if (connect && hasError && disconnect) {
        const QByteArray name = display.toLocal8Bit();
        void *connection = connect(display.isEmpty() ? nullptr : name.constData(), nullptr);
        answers = hasError(connection) == 0;
        disconnect(connection);
    }
    ::dlclose(library);
    return answers;
}

} // namespace

std::optional<QString> ChooseDisplay(const QString &platform, const QString &display)
{
    QString chosen = platform.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : platform;
    const QString x11Display = display.isEmpty() ? qEnvironmentVariable("DISPLAY") : display;
    if (chosen.isEmpty() && !x11Display.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        chosenHere = true;
        chosen = u"xcb"_s;
    }
    if (chosen.isEmpty() && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return u"no display to show the windows on (DISPLAY is not set)"_s;
    if (chosen.section(u':', 0, 0) != u"xcb"_s)
        return std::nullopt;
    if (x11Display.isEmpty())
        return u"no display to show the windows on (DISPLAY is not set)"_s;
    if (!xServerAnswers(display))
        return u"cannot open display '%1': no X server lets Vantrel in there"_s.arg(x11Display);
    return std::nullopt;
}

void ForgetChosenDisplay()
{
    if (chosenHere)
        qunsetenv("QT_QPA_PLATFORM");
    chosenHere = false;
}
