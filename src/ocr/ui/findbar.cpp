#include "ocr/ui/findbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace qen {

FindBar::FindBar(QWidget *parent) : QFrame(parent) {
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);

    auto *label = new QLabel(QStringLiteral("查找："), this);
    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("findQuery"));
    m_query->setClearButtonEnabled(true);
    m_query->setMaxLength(1000);
    label->setBuddy(m_query);
    m_previous = new QPushButton(QStringLiteral("上一个"), this);
    m_previous->setObjectName(QStringLiteral("findPrevious"));
    m_next = new QPushButton(QStringLiteral("下一个"), this);
    m_next->setObjectName(QStringLiteral("findNext"));
    for (QPushButton *b : {m_previous, m_next}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
    }
    m_tolerant = new QCheckBox(QStringLiteral("容错匹配"), this);
    m_tolerant->setObjectName(QStringLiteral("findTolerant"));
    m_tolerant->setToolTip(QStringLiteral("四个字以上的查找词允许一个字识别有误"));
    m_scope = new QComboBox(this);
    m_scope->setObjectName(QStringLiteral("findScope"));
    m_scope->addItems({QStringLiteral("当前篇"), QStringLiteral("所有打开的篇")});
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("findCount"));
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("findProgress"));
    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("findClose"));
    close->setAutoRaise(true);
    close->setText(QStringLiteral("×"));
    close->setToolTip(QStringLiteral("关闭查找栏 (Esc)"));

    layout->addWidget(label);
    layout->addWidget(m_query, 3);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_tolerant);
    layout->addWidget(m_scope);
    layout->addWidget(m_count, 1);
    layout->addWidget(m_progress, 1);
    layout->addWidget(close);

    connect(m_query, &QLineEdit::textEdited, this, &FindBar::queryEdited);
    connect(m_tolerant, &QCheckBox::toggled, this, &FindBar::optionsChanged);
    connect(m_scope, &QComboBox::currentIndexChanged, this, &FindBar::optionsChanged);
    connect(m_next, &QPushButton::clicked, this, &FindBar::nextWanted);
    connect(m_previous, &QPushButton::clicked, this, &FindBar::previousWanted);
    connect(close, &QToolButton::clicked, this, &FindBar::closeWanted);
}

QString FindBar::query() const {
    return m_query->text();
}

void FindBar::setQuery(const QString &query) {
    m_query->setText(query);
}

bool FindBar::tolerant() const {
    return m_tolerant->isChecked();
}

FindBar::Scope FindBar::scope() const {
    return m_scope->currentIndex() == AllArticles ? AllArticles : CurrentArticle;
}

void FindBar::focusQuery() {
    m_query->setFocus(Qt::ShortcutFocusReason);
    m_query->selectAll();
}

void FindBar::setCount(const QString &text) {
    m_count->setText(text);
}

void FindBar::setProgress(const QString &text) {
    m_progress->setText(text);
}

QString FindBar::countText() const {
    return m_count->text();
}

QString FindBar::progressText() const {
    return m_progress->text();
}

} // namespace qen
