#include "articles/opener.h"

#include "articles/articletree.h"
#include "platform/filehelpers.h"
#include "platform/workfolders.h"

namespace qen {

namespace {

class BusyScope {
public:
    explicit BusyScope(const OpenHooks &hooks) : m_hooks(hooks) {
        if (m_hooks.setBusy)
            m_hooks.setBusy(true);
    }
    ~BusyScope() {
        if (m_hooks.setBusy)
            m_hooks.setBusy(false);
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    const OpenHooks &m_hooks;
};

} // namespace

Opener::Opener(ArticleTree &tree, const WorkFolders &folders) : m_tree(tree), m_folders(folders) {}

QString Opener::cleanItem(const QString &item) {
    QString cleaned = item;
    cleaned.remove(QLatin1Char('"'));
    qsizetype start = 0;
    qsizetype end = cleaned.size();
    while (start < end && cleaned.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && cleaned.at(end - 1) == QLatin1Char(' '))
        --end;
    return cleaned.mid(start, end - start);
}

Opener::ItemKind Opener::kindOf(const QString &item) {
    const QString type = GetFileExt(item).toUpper();
    if (type.isEmpty() || type == QLatin1String("QEN") || type == QLatin1String("ZIP"))
        return ItemKind::Package;
    static const QStringList singles = {
        QStringLiteral("WWP"), QStringLiteral("TIF"), QStringLiteral("RTF"), QStringLiteral("TXT"),
        QStringLiteral("WP"),  QStringLiteral("JPG"), QStringLiteral("GIF"), QStringLiteral("BMP")};
    return singles.contains(type) ? ItemKind::Single : ItemKind::Ignored;
}

int Opener::CreateTree(const QString &sFiles) {
    if (m_hooks.updateCommands)
        m_hooks.updateCommands();
    // Tells the selection rule whether a package was added during this call.
    QStringList pageList{QString()};
    QString firstKey;
    QString rest = sFiles;
    const QString separator(QChar(u'\0'));

    for (QString raw = PopToken(rest, separator); !raw.isEmpty(); raw = PopToken(rest, separator)) {
        const QString item = cleanItem(raw);
        // The tree shows what was added so far and a hand-over check may run; it works on
        // this same tree, so everything below reads the tree afresh.
        if (m_hooks.yield)
            m_hooks.yield();
        if (!m_tree.NodeExists(item)) {
            switch (kindOf(item)) {
            case ItemKind::Package: {
                QString fileName, folder;
                SplitPath(item, fileName, folder);
                // A work root that cannot be made is reported by name before anything else.
                m_folders.ensure(m_folders.temp());
                const QString workFolder = GetWorkFolder(m_folders, GetBaseName(fileName));
                ExtractResult result;
                {
                    BusyScope busy(m_hooks);
                    ExtractOptions options = m_options;
                    if (!options.yield)
                        options.yield = m_hooks.yield;
                    result = ExtractPackage(item, workFolder, options);
                }
                // A package already open under another name, or one that unpacked to no
                // page, is left out; its folder goes with the clean-up at exit.
                if (!m_tree.TitleExists(result.title) && !m_tree.NodeExists(item)) {
                    QStringList names = ListPageFiles(workFolder);
                    if (!names.isEmpty()) {
                        SortFileNames(names);
                        if (m_tree.addPackage(item, result.title, workFolder, names))
                            pageList = names;
                    }
                }
                break;
            }
            case ItemKind::Single:
                m_tree.addSingle(item);
                break;
            case ItemKind::Ignored:
                break;
            }
        }
        if (firstKey.isEmpty()) {
            if (!pageList.first().isEmpty())
                firstKey = item;
            else if (!m_tree.isEmpty())
                firstKey = m_tree.key(1);
        }
    }

    if (m_tree.isEmpty())
        return 0;
    const int index = m_tree.find(firstKey);
    if (index)
        m_tree.select(index);
    return index;
}

} // namespace qen
