#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

class QLabel;
class QPushButton;

namespace qen {

// frmMsg: tells the user that a long operation runs. Each operation gets a fresh window
// (BusyMessageScope), so every operation starts from the default text. A dialog of the main
// window, so the toolkit (or the compositor, on Wayland) centres it over the window whose
// work it stands for, whichever window is active.
class BusyMessage : public QDialog {
    Q_OBJECT
public:
    static QString defaultText() { return QStringLiteral("正在组织数据，请稍候..."); }

    // The window of the running operation, created on first use.
    static BusyMessage *current();
    // The window the busy window belongs to; the main window sets itself.
    static void setOwner(QWidget *owner);
    // Closes and destroys the window and forgets it.
    static void dismiss();

    // Shows the window with strTitle ("" keeps the text shown) and paints it before the
    // caller's work begins.
    void ShowMsg(const QString &strTitle = QString());
    QString note() const;
    // The same with a "取消" button that runs onCancel, for work the user may stop. The
    // window is then modal: the button is the one control the user can reach meanwhile.
    void ShowProgress(const QString &text, std::function<void()> onCancel);

    // The work runs until the caller dismisses the window: Escape does not close it.
    void reject() override {}

private:
    BusyMessage();
    QLabel *m_note;
    QPushButton *m_cancel = nullptr;
    std::function<void()> m_onCancel;
    static QPointer<BusyMessage> s_current;
    static QPointer<QWidget> s_owner;
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
