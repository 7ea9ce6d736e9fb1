#include "shell/activationtoken.h"

#include <QtGlobal>

namespace qen {

namespace {
const QByteArray WaylandPrefix("wayland:");
const QByteArray X11Prefix("x11:");
// Launchers' tokens are short; anything longer is not one.
constexpr qsizetype MaxTokenBytes = 1024;
} // namespace

ActivationToken ActivationToken::fromEnvironment() {
    const QByteArray wayland = qgetenv("XDG_ACTIVATION_TOKEN");
    if (!wayland.isEmpty() && wayland.size() <= MaxTokenBytes)
        return {Kind::Wayland, wayland};
    const QByteArray x11 = qgetenv("DESKTOP_STARTUP_ID");
    if (!x11.isEmpty() && x11.size() <= MaxTokenBytes)
        return {Kind::X11, x11};
    return {};
}

QByteArray ActivationToken::toWord() const {
    if (isEmpty())
        return {};
    return (kind == Kind::Wayland ? WaylandPrefix : X11Prefix) + value.toBase64();
}

ActivationToken ActivationToken::fromWord(const QByteArray &word) {
    Kind kind = Kind::None;
    QByteArray encoded;
    if (word.startsWith(WaylandPrefix)) {
        kind = Kind::Wayland;
        encoded = word.mid(WaylandPrefix.size());
    } else if (word.startsWith(X11Prefix)) {
        kind = Kind::X11;
        encoded = word.mid(X11Prefix.size());
    }
    const auto result =
        QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray &value = result.decoded;
    if (kind == Kind::None || !result || value.isEmpty() || value.size() > MaxTokenBytes)
        return {};
    // The token goes into the environment and into X properties: printable ASCII only.
    for (const char c : value)
        if (c <= ' ' || c > '~')
            return {};
    return {kind, value};
}

quint32 ActivationToken::x11Time() const {
    if (kind != Kind::X11)
        return 0;
    const qsizetype at = value.lastIndexOf("_TIME");
    if (at < 0)
        return 0;
    bool ok = false;
    const qulonglong time = value.mid(at + 5).toULongLong(&ok);
    return ok && time <= 0xffffffffULL ? quint32(time) : 0;
}

} // namespace qen
