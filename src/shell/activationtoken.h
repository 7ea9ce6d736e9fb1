#pragma once

#include <QByteArray>

// The proof a desktop launcher gives a program it starts that the user asked for it, so the
// compositor or window manager lets that program's window come to the front. A second copy
// hands its token to the running copy, whose window is the one that must come forward.
namespace qen {

struct ActivationToken {
    enum class Kind { None, Wayland, X11 };
    Kind kind = Kind::None;
    QByteArray value;

    bool isEmpty() const { return kind == Kind::None || value.isEmpty(); }

    // XDG_ACTIVATION_TOKEN (Wayland) or else DESKTOP_STARTUP_ID (X11). Read before the
    // toolkit starts: Qt's X11 plugin takes DESKTOP_STARTUP_ID out of the environment.
    static ActivationToken fromEnvironment();

    // One blank-free word for the hand-over socket ("wayland:<base64>"), and back; a word
    // that is not a token gives an empty one.
    QByteArray toWord() const;
    static ActivationToken fromWord(const QByteArray &word);

    // The launch time an X11 startup ID carries ("..._TIME<n>"), 0 when it has none. A window
    // manager that prevents focus stealing compares it with the user's last input.
    quint32 x11Time() const;
};

} // namespace qen
