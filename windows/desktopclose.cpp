#include "desktopclose.h"

#include "dialogprogress.h"

#include <QGuiApplication>
#include <xcb/xcb.h>

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, quint16(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

} // namespace

DesktopCloseFilter::DesktopCloseFilter(QWidget *window) : window(window)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return; // another platform: nothing to watch
    protocolsAtom = internAtom(x11->connection(), "WM_PROTOCOLS");
    deleteWindowAtom = internAtom(x11->connection(), "WM_DELETE_WINDOW");
    qApp->installNativeEventFilter(this);
}

DesktopCloseFilter::~DesktopCloseFilter()
{
    if (protocolsAtom != XCB_ATOM_NONE)
        qApp->removeNativeEventFilter(this);
}

bool DesktopCloseFilter::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t" || !window)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto *client = reinterpret_cast<const xcb_client_message_event_t *>(event);
    const bool closeRequest = client->format == 32 && client->type == protocolsAtom
        && client->data.data32[0] == deleteWindowAtom && client->window == window->internalWinId();
    // Only while a job runs: otherwise Qt delivers the request itself.
    if (closeRequest && DialogProgress::runningDialog())
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    return false;
}
