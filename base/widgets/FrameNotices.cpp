#include "base/widgets/FrameNotices.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <xcb/xcb.h>

namespace framenotices {

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name), nullptr);
    xcb_atom_t atom = XCB_ATOM_NONE;
    if (reply)
        atom = reply->atom;
    std::free(reply);
    return atom;
}

QWidget *topLevelWidget(xcb_window_t window)
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->internalWinId() == window)
            return widget;
    return nullptr;
}

// Lives as long as the application it is installed in.
class Filter : public QObject, public QAbstractNativeEventFilter {
public:
    Filter(QObject *application, xcb_atom_t frameExtents) : QObject(application), frameExtents_(frameExtents) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        // Posted, not sent: the toolkit takes the news in only after this filter has seen it.
        switch (event->response_type & 0x7f) {
        case XCB_PROPERTY_NOTIFY: {
            const auto *change = static_cast<const xcb_property_notify_event_t *>(message);
            if (QWidget *widget = topLevelWidget(change->window); widget && change->atom == frameExtents_)
                QCoreApplication::postEvent(widget, new QEvent(FrameChanged()));
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto *configure = static_cast<const xcb_configure_notify_event_t *>(message);
            if (QWidget *widget = topLevelWidget(configure->window))
                QCoreApplication::postEvent(widget, new Configured(QSize(configure->width, configure->height)));
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    xcb_atom_t frameExtents_;
};

} // namespace

QEvent::Type FrameChanged()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type Configured::type()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void Watch()
{
    static QPointer<Filter> filter;
    if (filter || !qApp)
        return;
    const auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    filter = new Filter(qApp, internAtom(x11->connection(), "_NET_FRAME_EXTENTS"));
    qApp->installNativeEventFilter(filter);
}

} // namespace framenotices
