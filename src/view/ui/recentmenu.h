#pragma once

#include "articles/recentfiles.h"

#include <QFutureWatcher>
#include <QObject>
#include <QSet>
#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace qen {

class Interaction;

// 文件 → 最近打开的文件: the last files opened by any road, numbered for the keyboard, the
// article's title shown and its path as the tooltip. Showing the menu reads nothing from the
// disk (a path may be on a network share that does not answer): the files are looked for on
// a worker thread when the list changes and when the File menu opens, and those that are
// gone are greyed once the answer comes. A file chosen and found gone is dropped from the
// list with a message.
class RecentMenu : public QObject {
    Q_OBJECT
public:
    // The menu goes into `fileMenu` before `before`; `open` opens a chosen path.
    RecentMenu(QMenu *fileMenu, QAction *before, RecentFiles store, Interaction &interaction,
               QWidget *window, std::function<void(const QString &path)> open,
               QObject *parent = nullptr);

    QMenu *menu() const { return m_menu; }
    const QList<RecentFile> &files() const { return m_files; }

    // An opening: the file goes first.
    void add(const QString &path, const QString &title);
    // What choosing entry `index` (0 = the newest) does.
    void choose(int index);

    // Looks for the files in the background; `checked` follows with the answer.
    void checkFiles();
    bool isMissing(const QString &path) const { return m_missing.contains(path); }
    bool checking() const { return m_check.isRunning(); }

signals:
    void checked();

private:
    void rebuild();
    void applyMissing();

    RecentFiles m_store;
    QList<RecentFile> m_files;
    Interaction &m_interaction;
    QWidget *m_window;
    std::function<void(const QString &)> m_open;
    QMenu *m_menu;
    QFutureWatcher<QSet<QString>> m_check;
    bool m_checkAgain = false;
    QSet<QString> m_missing;
};

} // namespace qen
