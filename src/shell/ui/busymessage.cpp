#include "shell/ui/busymessage.h"

#include "platform/ui/twipsgeometry.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace qen {

QPointer<BusyMessage> BusyMessage::s_current;
QPointer<QWidget> BusyMessage::s_owner;

BusyMessage::BusyMessage()
    : QDialog(s_owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint),
      m_note(new QLabel(this)) {
    setObjectName(QStringLiteral("frmMsg"));
    // A fixed border with a bare title bar: no minimise, maximise or close button. The title
    // is a blank because the platform shows the program's name in place of an empty one.
    setWindowTitle(QStringLiteral(" "));
    setAttribute(Qt::WA_DeleteOnClose);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    setPalette(pal);
    setAutoFillBackground(true);

    const double tx = twipsPerPixelX(this), ty = twipsPerPixelY(this);
    setFixedSize(qRound(6255 / tx), qRound(600 / ty));

    m_note->setObjectName(QStringLiteral("lblNote"));
    moveTwips(m_note, {90, 60, 6075, 465});
    QPalette notePal = m_note->palette();
    notePal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_note->setPalette(notePal);
    QFont font(QStringLiteral("隶书"));
    font.setBold(true);
    font.setPointSizeF(21.75);
    m_note->setFont(font);
    m_note->setText(defaultText());
}

void BusyMessage::setOwner(QWidget *owner) {
    s_owner = owner;
}

BusyMessage *BusyMessage::current() {
    if (!s_current)
        s_current = new BusyMessage;
    return s_current;
}

void BusyMessage::dismiss() {
    if (s_current) {
        s_current->close();
        delete s_current.data();
    }
    s_current = nullptr;
}

void BusyMessage::ShowMsg(const QString &strTitle) {
    if (!strTitle.isEmpty())
        m_note->setText(strTitle);
    show();
    // One pass of the event loop so the window is painted before the caller's work begins;
    // user input stays queued so no command can start in between.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void BusyMessage::ShowProgress(const QString &text, std::function<void()> onCancel) {
    m_onCancel = std::move(onCancel);
    if (!m_cancel) {
        // The button goes to the right of the note, which keeps its place and size.
        m_cancel = new QPushButton(QStringLiteral("取消"), this);
        m_cancel->setObjectName(QStringLiteral("cmdCancel"));
        moveTwips(m_cancel, {6255, 120, 1080, 360});
        connect(m_cancel, &QPushButton::clicked, this, [this] {
            m_cancel->setEnabled(false);
            if (m_onCancel)
                m_onCancel();
        });
        const double tx = twipsPerPixelX(this), ty = twipsPerPixelY(this);
        setFixedSize(qRound((6255 + 1200) / tx), qRound(600 / ty));
    }
    m_cancel->show();
    // Modality takes effect when the window is shown.
    if (windowModality() != Qt::ApplicationModal) {
        hide();
        setWindowModality(Qt::ApplicationModal);
    }
    ShowMsg(text);
}

QString BusyMessage::note() const {
    return m_note->text();
}

} // namespace qen
