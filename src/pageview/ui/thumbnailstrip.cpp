#include "pageview/ui/thumbnailstrip.h"

#include "articles/articletree.h"
#include "pageview/thumbnailcache.h"
#include "platform/filehelpers.h"
#include "platform/profilestring.h"

#include <QAbstractListModel>
#include <QFileInfo>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

namespace qen {

namespace {
constexpr int Margin = 6;
constexpr int StateRole = Qt::UserRole + 1;
const QString Section = QStringLiteral("View");
const QString Key = QStringLiteral("Thumbnails");
} // namespace

// The rows are the article's pages; their pictures come from the cache as they are made.
class ThumbnailModel : public QAbstractListModel {
public:
    ThumbnailModel(ThumbnailCache &cache, QObject *parent)
        : QAbstractListModel(parent), m_cache(cache) {
        // Queued: the cache tells from its workers, and a row of the article before may
        // still arrive after a new one came.
        connect(
            &cache, &ThumbnailCache::changed, this,
            [this](int row) {
                if (row < m_rows)
                    emit dataChanged(index(row), index(row));
            },
            Qt::QueuedConnection);
    }

    void setPages(const QStringList &paths) {
        beginResetModel();
        m_cache.setPages(paths);
        m_rows = int(paths.size());
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : m_rows;
    }

    QVariant data(const QModelIndex &index, int role) const override {
        if (!index.isValid() || index.row() >= m_rows)
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return QString::number(index.row() + 1);
        case Qt::DecorationRole:
            return m_cache.image(index.row());
        case StateRole:
            return int(m_cache.state(index.row()));
        default:
            return {};
        }
    }

private:
    ThumbnailCache &m_cache;
    int m_rows = 0;
};

namespace {

// A page's picture in a frame, its number under it; the shown page on the selection colour.
// A page still being made is an empty frame; one that cannot be read says so.
class ThumbnailDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override {
        const QSize box = ThumbnailStrip::PictureSize;
        return {box.width() + 2 * Margin, box.height() + 3 * Margin + option.fontMetrics.height()};
    }

    void paint(QPainter *p, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        const bool shown = option.state & QStyle::State_Selected;
        if (shown)
            p->fillRect(option.rect, option.palette.highlight());
        const QSize box = ThumbnailStrip::PictureSize;
        const QRect area(option.rect.left() + (option.rect.width() - box.width()) / 2,
                         option.rect.top() + Margin, box.width(), box.height());
        const QImage image = index.data(Qt::DecorationRole).value<QImage>();
        const auto state = ThumbnailCache::State(index.data(StateRole).toInt());
        QRect frame = area;
        if (!image.isNull()) {
            const QSize size = image.deviceIndependentSize().toSize();
            frame = QRect(area.left() + (area.width() - size.width()) / 2,
                          area.top() + (area.height() - size.height()) / 2, size.width(),
                          size.height());
            p->drawImage(frame, image);
        } else {
            p->fillRect(frame, option.palette.base());
            if (state == ThumbnailCache::State::Failed) {
                p->setPen(option.palette.color(QPalette::Text));
                p->drawText(frame, Qt::AlignCenter, QStringLiteral("无法显示"));
            }
        }
        p->setPen(option.palette.color(QPalette::Mid));
        p->drawRect(frame.adjusted(0, 0, -1, -1));
        p->setPen(option.palette.color(shown ? QPalette::HighlightedText : QPalette::Text));
        const QRect number(option.rect.left(), area.bottom() + Margin, option.rect.width(),
                           option.fontMetrics.height());
        p->drawText(number, Qt::AlignHCenter | Qt::AlignTop, index.data().toString());
    }
};

} // namespace

ThumbnailStrip::ThumbnailStrip(const ArticleTree &tree, QWidget *parent)
    : QListView(parent), m_tree(tree), m_cache(new ThumbnailCache(256, 0, this)),
      m_model(new ThumbnailModel(*m_cache, this)) {
    setModel(m_model);
    setItemDelegate(new ThumbnailDelegate(this));
    // Every row is as high as the next: the view computes positions instead of asking each
    // of thousands of rows for its size.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(&tree, &ArticleTree::selectionChanged, this, &ThumbnailStrip::follow);
    connect(&tree, &ArticleTree::cleared, this, [this] { setArticle(0); });
    connect(&tree, &ArticleTree::keyChanged, this,
            [this](int index, const QString &, const QString &newKey) {
                if (m_article && m_tree.parent(index) == m_article)
                    m_cache->setPath(index - m_article - 1, newKey);
            });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ThumbnailStrip::askForVisible);
}

ThumbnailStrip::~ThumbnailStrip() = default;

int ThumbnailStrip::nodeOfRow(int row) const {
    if (!m_article || row < 0 || row >= m_model->rowCount())
        return 0;
    return m_tree.childCount(m_article) ? m_article + 1 + row : m_article;
}

void ThumbnailStrip::follow(int node) {
    if (!m_tree.isValid(node))
        return;
    const int parent = m_tree.parent(node);
    const int article = parent ? parent : node;
    if (article != m_article)
        setArticle(article);
    m_syncing = true;
    const QModelIndex row = m_model->index(parent ? node - parent - 1 : 0);
    setCurrentIndex(row);
    scrollTo(row);
    m_syncing = false;
    askForVisible();
}

void ThumbnailStrip::setArticle(int article) {
    m_article = article;
    QStringList paths;
    if (article) {
        const QList<int> pages = m_tree.children(article);
        if (pages.isEmpty())
            paths << m_tree.key(article); // a single file is an article of one page
        for (const int page : pages)
            paths << m_tree.key(page);
    }
    m_syncing = true;
    m_model->setPages(paths);
    m_syncing = false;
    askForVisible();
}

void ThumbnailStrip::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    QListView::currentChanged(current, previous);
    if (!m_syncing && current.isValid())
        if (const int node = nodeOfRow(current.row()))
            emit nodeClicked(node);
}

// Asked once per pass of the event loop, however many scroll steps and resizes it brought.
void ThumbnailStrip::askForVisible() {
    if (m_askPending)
        return;
    m_askPending = true;
    QTimer::singleShot(0, this, [this] {
        m_askPending = false;
        visibleRowsChanged();
    });
}

void ThumbnailStrip::visibleRowsChanged() {
    const int rows = m_model->rowCount();
    if (!isVisible() || rows == 0) {
        m_cache->setVisible(0, -1);
        return;
    }
    const qreal dpr = devicePixelRatioF();
    m_cache->setBox((QSizeF(PictureSize) * dpr).toSize(), dpr);
    const QModelIndex first = indexAt(QPoint(1, 1));
    const QModelIndex last = indexAt(QPoint(1, viewport()->height() - 2));
    m_cache->setVisible(first.isValid() ? first.row() : 0, last.isValid() ? last.row() : rows - 1);
}

void ThumbnailStrip::resizeEvent(QResizeEvent *event) {
    QListView::resizeEvent(event);
    askForVisible();
}

void ThumbnailStrip::showEvent(QShowEvent *event) {
    QListView::showEvent(event);
    askForVisible();
}

void ThumbnailStrip::hideEvent(QHideEvent *event) {
    QListView::hideEvent(event);
    m_cache->setVisible(0, -1); // nothing is made for a strip nobody sees
}

bool ThumbnailStrip::storedShown(const QString &iniPath) {
    return GetPrivateProfileString(Section, Key, QStringLiteral("0"), 8, iniPath).trimmed() ==
           QLatin1String("1");
}

bool ThumbnailStrip::storeShown(const QString &iniPath, bool shown) {
    CreateFolder(QFileInfo(iniPath).absolutePath());
    return WritePrivateProfileString(Section, Key,
                                     shown ? QStringLiteral("1") : QStringLiteral("0"), iniPath);
}

} // namespace qen
