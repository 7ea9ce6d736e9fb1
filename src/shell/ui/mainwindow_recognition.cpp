// Recognition of the selected area and its result window.
#include "imaging/ui/imagetools.h"
#include "ocr/recognition.h"
#include "ocr/textqueue.h"
#include "ocr/ui/recognizecommand.h"
#include "pageview/ui/documents.h"
#include "shell/ui/mainwindow.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>

namespace qen {

void MainWindow::wireRecognition() {
    // The image tools write the crop (and tell the user when they cannot); recognition reads
    // the file they wrote.
    m_recognize = new RecognizeCommand(
        this, m_interaction, m_folders, [this] { return m_imageTools->CropSelectionToFile(); },
        m_imageTools->cropPath(), {}, this);
    connect(command(QStringLiteral("mnuTool_Recognize")), &QAction::triggered, m_recognize,
            &RecognizeCommand::mnuTool_Recognize);
    wireTextQueue();
}

void MainWindow::wireTextQueue() {
    auto cache = std::make_unique<ocr::TextCache>(ocr::TextCache::defaultFolder(),
                                                  ocr::TextCache::configuredCapBytes(m_folders));
    const QString cacheProblem = cache->usable() ? QString() : cache->problem();
    m_textQueue =
        new ocr::TextQueue(ocr::PageEngineLibrary::shared(), ocr::configuredLanguages(m_folders),
                           std::move(cache), ocr::TextQueue::defaultWorkers(), this);
    m_textQueue->setBackground(ocr::TextQueue::backgroundConfigured(m_folders));
    m_textPanel = new QLabel(m_staBar);
    m_textPanel->setObjectName(QStringLiteral("staBar_Text"));
    m_textPanel->setText(cacheProblem);
    m_textPanel->setToolTip(cacheProblem);
    m_staBar->addPermanentWidget(m_textPanel);

    ArticleTree &tree = m_documents->model();
    connect(&tree, &ArticleTree::nodesAdded, m_textQueue, [this, &tree](int first, int count) {
        for (int i = first; i < first + count; ++i) {
            if (tree.parent(i) != 0)
                continue;
            QStringList pages;
            const QList<int> children = tree.children(i);
            for (const int page : children.isEmpty() ? QList<int>{i} : children) {
                if (ocr::isRecognisablePage(tree.key(page)))
                    pages << tree.key(page);
            }
            if (!pages.isEmpty())
                m_textQueue->addArticle(tree.key(i), pages);
        }
    });
    connect(&tree, &ArticleTree::selectionChanged, m_textQueue, [this, &tree](int index) {
        const int page = tree.childCount(index) ? tree.firstChild(index) : index;
        m_textQueue->setShownPage(tree.key(page));
    });
    connect(&tree, &ArticleTree::keyChanged, m_textQueue,
            [this](int, const QString &oldKey, const QString &newKey) {
                m_textQueue->renamePage(oldKey, newKey);
            });
    connect(&tree, &ArticleTree::cleared, m_textQueue, &ocr::TextQueue::clear);
    connect(m_textQueue, &ocr::TextQueue::progressChanged, m_textPanel, [this, cacheProblem] {
        const QString progress = m_textQueue->progressText();
        m_textPanel->setText(progress.isEmpty() ? cacheProblem : progress);
    });
    connect(m_textQueue, &ocr::TextQueue::pageFailed, m_textPanel,
            [this](const QString &page, const QString &message) {
                m_textPanel->setToolTip(QStringLiteral("%1：%2").arg(page, message));
            });
}

} // namespace qen
