#include "view/ui/recentmenu.h"

#include "platform/ui/interaction.h"

#include <QFileInfo>
#include <QMenu>
#include <QtConcurrent/QtConcurrentRun>
#include <utility>

namespace qen {

RecentMenu::RecentMenu(QMenu *fileMenu, QAction *before, RecentFiles store,
                       Interaction &interaction, QWidget *window,
                       std::function<void(const QString &path)> open, QObject *parent)
    : QObject(parent), m_store(std::move(store)), m_files(m_store.load()),
      m_interaction(interaction), m_window(window), m_open(std::move(open)),
      m_menu(new QMenu(QStringLiteral("最近打开的文件(&R)"), fileMenu)) {
    m_menu->setObjectName(QStringLiteral("mnuFile_Recent"));
    m_menu->menuAction()->setObjectName(QStringLiteral("mnuFile_Recent"));
    m_menu->setToolTipsVisible(true);
    fileMenu->insertMenu(before, m_menu);
    connect(fileMenu, &QMenu::aboutToShow, this, &RecentMenu::checkFiles);
    connect(&m_check, &QFutureWatcher<QSet<QString>>::finished, this, [this] {
        m_missing = m_check.result();
        applyMissing();
        emit checked();
        if (std::exchange(m_checkAgain, false))
            checkFiles();
    });
    rebuild();
    checkFiles();
}

void RecentMenu::checkFiles() {
    // One look at a time: a share that does not answer holds one thread, not one per opening.
    if (m_check.isRunning()) {
        m_checkAgain = true;
        return;
    }
    QStringList paths;
    for (const RecentFile &f : std::as_const(m_files))
        paths << f.path;
    m_check.setFuture(QtConcurrent::run([paths] {
        QSet<QString> missing;
        for (const QString &p : paths)
            if (!QFileInfo::exists(p))
                missing.insert(p);
        return missing;
    }));
}

void RecentMenu::applyMissing() {
    const QList<QAction *> actions = m_menu->actions();
    for (qsizetype i = 0; i < m_files.size() && i < actions.size(); ++i) {
        const bool gone = m_missing.contains(m_files[i].path);
        actions[i]->setEnabled(!gone);
        actions[i]->setToolTip(gone ? QStringLiteral("找不到文件：%1").arg(m_files[i].path)
                                    : m_files[i].path);
    }
}

void RecentMenu::add(const QString &path, const QString &title) {
    m_files.removeIf([&](const RecentFile &f) { return f.path == path; });
    m_files.prepend({path, title});
    m_files = m_files.mid(0, RecentFiles::Max);
    // The list in memory is what the menu shows; an unwritable settings file only means it
    // is not kept for the next start.
    m_store.add(path, title);
    m_missing.remove(path);
    rebuild();
    checkFiles();
}

void RecentMenu::choose(int index) {
    if (index < 0 || index >= m_files.size())
        return;
    const RecentFile file = m_files.at(index);
    if (!QFileInfo::exists(file.path)) {
        m_files.removeAt(index);
        m_store.remove(file.path);
        rebuild();
        m_interaction.information(
            m_window,
            QStringLiteral("找不到文件 %1：它可能已被移动或删除，已从最近打开的文件中去掉。")
                .arg(file.path));
        return;
    }
    m_open(file.path);
}

void RecentMenu::rebuild() {
    // An entry may be rebuilding the menu from its own triggered signal: old entries are
    // taken out now and deleted once that signal is over.
    for (QAction *old : m_menu->actions()) {
        m_menu->removeAction(old);
        old->deleteLater();
    }
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        // "&1" … "&9", then "1&0": every entry has its key.
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        QString title = m_files[i].title;
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction *entry = m_menu->addAction(number + QLatin1Char(' ') + title);
        entry->setToolTip(m_files[i].path);
        connect(entry, &QAction::triggered, this, [this, i] { choose(int(i)); });
    }
    m_menu->addSeparator();
    QAction *clear = m_menu->addAction(QStringLiteral("清除列表"));
    clear->setObjectName(QStringLiteral("mnuFile_RecentClear"));
    clear->setEnabled(!m_files.isEmpty());
    applyMissing();
    connect(clear, &QAction::triggered, this, [this] {
        m_files.clear();
        m_store.clear();
        rebuild();
    });
}

} // namespace qen
