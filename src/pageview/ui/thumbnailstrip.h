#pragma once

#include <QListView>

namespace qen {

class ArticleTree;
class ThumbnailCache;
class ThumbnailModel;

// The strip of the current article's pages beside the view: a picture of each page with its
// number under it, the shown page marked. It follows the tree's selection; a click or a key
// (Up, Down, PgUp, PgDn, Home, End) asks for a page as a click in the tree does, through
// nodeClicked, and the display decides. The list is virtual: only the rows on screen are
// painted, and their pictures are made first.
class ThumbnailStrip : public QListView {
    Q_OBJECT
public:
    // The largest picture, in logical pixels.
    static constexpr QSize PictureSize{96, 136};

    ThumbnailStrip(const ArticleTree &tree, QWidget *parent = nullptr);
    ~ThumbnailStrip() override;

    ThumbnailCache &cache() { return *m_cache; }
    // The node of the page in a row, 0 when there is none.
    int nodeOfRow(int row) const;

    // Whether the strip is shown, as stored in the settings file ([View] Thumbnails=1);
    // off when the file or the key is missing. Storing is false when the file could not
    // be written.
    static bool storedShown(const QString &iniPath);
    static bool storeShown(const QString &iniPath, bool shown);

signals:
    void nodeClicked(int index);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void follow(int node);
    void setArticle(int article);
    void visibleRowsChanged();
    void askForVisible();

    const ArticleTree &m_tree;
    ThumbnailCache *m_cache;
    ThumbnailModel *m_model;
    int m_article = 0; // the node of the article shown, 0 for none
    bool m_syncing = false;
    bool m_askPending = false;
};

} // namespace qen
