#include "shell/ui/windowactivation.h"

#include "shell/ui/shelllog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace qen {

namespace {

bool onPlatform(const char *name) {
    return QGuiApplication::platformName().startsWith(QLatin1String(name));
}

xcb_atom_t atom(xcb_connection_t *c, const char *name) {
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

xcb_client_message_event_t clientMessage(xcb_window_t window, xcb_atom_t type) {
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    return event;
}

// The startup-notification protocol's "remove" message: the launcher stops its busy pointer
// for this launch. Sent to the root window in pieces of 20 bytes.
void endStartup(xcb_connection_t *c, xcb_window_t root, xcb_window_t window, const QByteArray &id) {
    QByteArray quoted = id;
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    const QByteArray text = "remove: ID=\"" + quoted + '"';
    const xcb_atom_t begin = atom(c, "_NET_STARTUP_INFO_BEGIN"),
                     more = atom(c, "_NET_STARTUP_INFO");
    for (qsizetype at = 0; at <= text.size(); at += 20) {
        xcb_client_message_event_t event = clientMessage(window, at == 0 ? begin : more);
        event.format = 8;
        // The terminating NUL travels too: the last piece may hold nothing else.
        std::memcpy(event.data.data8, text.constData() + at,
                    std::min<qsizetype>(20, text.size() - at));
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char *>(&event));
    }
}

// What a launched program does with its startup ID, done for a window that exists already:
// name the launch on the window, ask for activation with the launch's time, end the launch.
bool activateOnX11(QWidget *window, const ActivationToken &token) {
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c || !window->windowHandle())
        return false;
    const xcb_window_t id = xcb_window_t(window->winId());
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return false;
    const quint32 time = token.x11Time();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(c, "_NET_STARTUP_ID"),
                        atom(c, "UTF8_STRING"), 8, token.value.size(), token.value.constData());
    if (time != 0)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(c, "_NET_WM_USER_TIME"),
                            XCB_ATOM_CARDINAL, 32, 1, &time);
    xcb_client_message_event_t event = clientMessage(id, atom(c, "_NET_ACTIVE_WINDOW"));
    event.data.data32[0] = 1; // from an application, with its user's time
    event.data.data32[1] = time;
    xcb_send_event(c, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    endStartup(c, screen->root, id, token.value);
    xcb_flush(c);
    return true;
}

} // namespace

void ActivateWindow(QWidget *window, const ActivationToken &token) {
    // A minimised window cannot come to the front: the user who double-clicked a file would
    // see nothing happen. It comes back as it was, maximised or not.
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    bool used = false;
    if (token.kind == ActivationToken::Kind::Wayland && onPlatform("wayland")) {
        // Qt's xdg-shell plugin presents the token it finds here when it asks for activation.
        qputenv("XDG_ACTIVATION_TOKEN", token.value);
        window->activateWindow();
        qunsetenv("XDG_ACTIVATION_TOKEN");
        used = true;
    } else {
        window->activateWindow();
        if (token.kind == ActivationToken::Kind::X11 && onPlatform("xcb"))
            used = activateOnX11(window, token);
    }
    qCDebug(lcShell) << "activation" << (used ? "token used" : "asks for attention");
    if (!used) {
        QApplication::alert(window);
        return;
    }
    // A compositor without the activation protocol, or one that refused the token, leaves the
    // window where it was: then it asks for attention after all.
    QTimer::singleShot(500, window, [window] {
        if (!window->isActiveWindow())
            QApplication::alert(window);
    });
}

} // namespace qen
