#include "records/ui/outputoptionsdialog.h"

#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/profilestring.h"
#include "platform/ui/interaction.h"
#include "platform/ui/twipsgeometry.h"
#include "platform/workfolders.h"
#include "records/fieldfilter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace qen {

namespace {

constexpr int OptionBufferSize = 10;
constexpr double ClientWidthTwips = 6570;
constexpr double ClientHeightTwips = 5130;

} // namespace

QStringList OutputOptionsDialog::fieldNames() {
    return {QStringLiteral("光盘号"), QStringLiteral("题　名"), QStringLiteral("机　构"),
            QStringLiteral("刊　名"), QStringLiteral("ＣＮ号"), QStringLiteral("馆藏号"),
            QStringLiteral("出版地"), QStringLiteral("C N 号"), QStringLiteral("报刊名"),
            QStringLiteral("文　摘"), QStringLiteral("关键词"), QStringLiteral("分类号"),
            QStringLiteral("正　文"), QStringLiteral("标　题"), QStringLiteral("作　者"),
            QStringLiteral("ISSN号"), QStringLiteral("刊　号"), QStringLiteral("出版国"),
            QStringLiteral("馆　藏")};
}

int leadingOptionNumber(const QString &value) {
    // Leading blanks, a sign, digits and a fraction; whatever follows is ignored.
    const QString v = value.trimmed();
    qsizetype i = 0;
    if (i < v.size() && (v[i] == u'+' || v[i] == u'-'))
        ++i;
    const qsizetype start = i;
    while (i < v.size() && v[i].unicode() < 0x80 && v[i].isDigit())
        ++i;
    if (i < v.size() && v[i] == u'.') {
        ++i;
        while (i < v.size() && v[i].unicode() < 0x80 && v[i].isDigit())
            ++i;
    }
    if (i == start || v.mid(start, i - start) == QLatin1String("."))
        return 0;
    bool ok = false;
    const double number = v.left(i).toDouble(&ok);
    if (!ok)
        return 0;
    // Rounded half to even, as the stored value was always turned into a whole number; a
    // number too large still counts as switched on.
    const double rounded = std::nearbyint(number);
    if (rounded > 32767)
        return 32767;
    if (rounded < -32768)
        return -32768;
    return static_cast<int>(rounded);
}

OutputOptionsDialog::OutputOptionsDialog(const WorkFolders &folders, Interaction &interaction,
                                         QWidget *parent)
    : QDialog(parent), m_folders(folders), m_interaction(interaction) {
    setObjectName(QStringLiteral("frmOutput"));
    setWindowTitle(QStringLiteral("输出选项"));
    setModal(true);
    QFont songti(QStringLiteral("宋体"));
    songti.setPointSize(9);

    auto *boxFrame = new QGroupBox(this);
    auto *grid = new QGridLayout(boxFrame);
    const QStringList names = fieldNames();
    for (int i = 0; i < names.size(); ++i) {
        auto *box = new QCheckBox(names[i], boxFrame);
        box->setObjectName(QStringLiteral("chkBox_%1").arg(i));
        box->setFont(songti);
        grid->addWidget(box, i / 3, i % 3);
        m_chkBox << box;
    }

    auto *noteFrame = new QGroupBox(this);
    auto *noteLayout = new QVBoxLayout(noteFrame);
    auto *note = new QLabel(
        QStringLiteral(
            "说明：中刊、剪报、外刊、引文各种版本的题录数据的输出选项均在此设置，所以在进行"
            "设置时，请按各自的选项进行不同的选择。如：中刊时，将选择文摘；在剪报中，应"
            "选择正文"),
        noteFrame);
    note->setObjectName(QStringLiteral("lblNote"));
    note->setFont(songti);
    note->setWordWrap(true);
    noteLayout->addWidget(note);

    auto *left = new QVBoxLayout;
    left->addWidget(boxFrame);
    left->addWidget(noteFrame);

    auto *buttons = new QVBoxLayout;
    const QString captions[] = {QStringLiteral("确定"), QStringLiteral("取消"),
                                QStringLiteral("全部选择"), QStringLiteral("全部取消")};
    for (int i = 0; i < 4; ++i) {
        auto *button = new QPushButton(captions[i], this);
        button->setObjectName(QStringLiteral("cmdButton_%1").arg(i));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { buttonClicked(i); });
        buttons->addWidget(button);
        m_cmdButton << button;
    }
    m_cmdButton[0]->setDefault(true);
    buttons->addStretch();

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    resize(qRound(ClientWidthTwips / twipsPerPixelX(this)),
           qRound(ClientHeightTwips / twipsPerPixelY(this)));
    // Centred over the main window by the toolkit (the compositor on Wayland), not moved.

    LoadOptions();
}

QString OutputOptionsDialog::settingsFile() const {
    return m_folders.setting() + QStringLiteral("/Output.ini");
}

void OutputOptionsDialog::LoadOptions() {
    const ProfileFile file = ProfileFile::read(settingsFile());
    const ProfileSection section = file.section(outputOptionsSection());
    for (QCheckBox *box : m_chkBox) {
        // Any number other than 0 counts as switched on; the box has no third state here.
        const bool on =
            !file.exists() || leadingOptionNumber(section.value(box->text(), QStringLiteral("1"),
                                                                OptionBufferSize)) != 0;
        box->setChecked(on);
    }
}

bool OutputOptionsDialog::SaveOptions() {
    try {
        m_folders.ensure(m_folders.setting());
    } catch (const Error &e) {
        m_interaction.error(this, e.description());
        return false;
    }
    for (QCheckBox *box : m_chkBox) {
        QString problem;
        if (!WritePrivateProfileString(outputOptionsSection(), box->text(),
                                       box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"),
                                       settingsFile(), &problem)) {
            m_interaction.error(this, problem);
            return false;
        }
    }
    return true;
}

void OutputOptionsDialog::buttonClicked(int index) {
    switch (index) {
    case 0:
        bConfirmed = true;
        SaveOptions();
        accept();
        break;
    case 1:
        bConfirmed = false;
        reject();
        break;
    case 2:
    case 3:
        for (QCheckBox *box : m_chkBox)
            box->setChecked(index == 2);
        break;
    default:
        break;
    }
}

} // namespace qen
