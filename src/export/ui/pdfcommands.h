#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace qen {

class Documents;
class Interaction;
class WorkFolders;

// The three commands of the PDF menu: the current page, the current article, and every
// article (one file each) as PDF. They get what they work on, not the window.
class PdfCommands : public QObject {
    Q_OBJECT
public:
    struct Context {
        QWidget *window = nullptr; // parent of dialogs and message boxes
        Documents *documents = nullptr;
        Interaction *interaction = nullptr;
        const WorkFolders *folders = nullptr;
        // The busy window around the work; closeBusy runs on every way out.
        std::function<void(const QString &text)> showBusy;
        std::function<void()> closeBusy;
    };

    explicit PdfCommands(Context context, QObject *parent = nullptr);

    void SaveCurrentPage();
    void SaveCurrentArticle();
    void SaveAllArticles();

private:
    enum class Scope { Page, Article };
    void saveOne(Scope scope);
    // The save dialog and the replace question; empty when the user stops.
    QString chooseTarget();
    // Where the staging folders go, created when missing. Throws qen::Error.
    QString stagingParent() const;
    void inform(const QString &text);
    void warn(const QString &text);

    Context m_context;
};

} // namespace qen
