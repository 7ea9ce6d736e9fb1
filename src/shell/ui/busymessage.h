#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;

namespace qen {

// frmMsg: tells the user that a long operation runs. Each operation gets a fresh window
// (BusyMessageScope), so every operation starts from the default text.
class BusyMessage : public QWidget {
    Q_OBJECT
public:
    static QString defaultText() { return QStringLiteral("正在组织数据，请稍候..."); }

    // The window of the running operation, created on first use.
    static BusyMessage *current();
    // Closes and destroys the window and forgets it.
    static void dismiss();

    // Shows the window with strTitle ("" keeps the text shown) and paints it before the
    // caller's work begins.
    void ShowMsg(const QString &strTitle = QString());
    QString note() const;

private:
    BusyMessage();
    QLabel *m_note;
    static QPointer<BusyMessage> s_current;
};

// The caller protocol: create and show on entry, destroy on exit, also when the work throws.
class BusyMessageScope {
public:
    explicit BusyMessageScope(const QString &text = QString()) {
        BusyMessage::current()->ShowMsg(text);
    }
    ~BusyMessageScope() { BusyMessage::dismiss(); }
    BusyMessageScope(const BusyMessageScope &) = delete;
    BusyMessageScope &operator=(const BusyMessageScope &) = delete;
};

} // namespace qen
