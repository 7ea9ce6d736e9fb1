#pragma once

#include "export/ui/exportcontrols.h"

#include <QObject>
#include <QStringList>

class QWidget;

namespace qen {

class Interaction;

// The question saving asks before a file replaces another.
QString replaceQuestion();
// Whether a file may be written at target: yes when nothing is there (a dangling link counts
// as there: writing through it would go wherever it points), else the question's answer.
bool mayReplaceFile(Interaction &interaction, QWidget *parent, const QString &target,
                    const QString &question = replaceQuestion());

// The save commands: the current page to a file the user names, the current article or all
// articles into a folder the user chooses.
class SaveCommands : public QObject {
    Q_OBJECT
public:
    enum Scope { CurrentPage = 1, CurrentArticle = 2, AllArticles = 3 };

    SaveCommands(ExportControls controls, ExportHooks hooks, Interaction &interaction,
                 QObject *parent = nullptr);

public slots:
    void SavePages(int scope);

private:
    void saveCurrentPage(int node);
    void saveImagePage(int node);
    void saveRecordPage(int node, bool rtfRecord);
    void saveWwpPage(int node);
    void saveArticles(int scope, int node);

    // The name from the save dialog with the extension the user left off appended after
    // asking (`noExtension` question), or "" when the user stops.
    QString chooseName(const QString &filter, const QString &suffix, const QString &noExtension,
                       const QString &appended);
    // Whether a file may be written at target: yes when nothing is there, else asks.
    bool mayReplace(const QString &target, const QString &question);
    // "保存完成!", or the pages that were left out.
    void report(const QStringList &skipped);

    ExportControls m_controls;
    ExportHooks m_hooks;
    Interaction &m_interaction;
};

} // namespace qen
