#pragma once

#include "ocr/pagereader.h"
#include "ocr/textlayer.h"
#include "platform/workfolders.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <functional>
#include <optional>

// Recognised pages kept on disk, so that a page is never read twice: not when it is opened
// again tomorrow, nor when the same page comes in another package. A page is known by its
// file's bytes, and by the engine, languages and settings that read it. The cache is never
// trusted: a file that is not a whole entry for its key is ignored and replaced.
namespace qen::ocr {

class TextCache {
public:
    static constexpr qint64 DefaultCapMB = 200;
    // Larger files are no page's layout.
    static constexpr qint64 MaxEntryBytes = 4 * 1024 * 1024;
    static constexpr int FormatVersion = 1;

    // $XDG_CACHE_HOME/QenBrowser/text (~/.cache when it is not set).
    static QString defaultFolder();
    // [Text] CacheMB= in Setting/Qen.ini, in bytes; the default when missing or not a number.
    static qint64 configuredCapBytes(const WorkFolders &folders);

    // The key of a page read by `engineVersion` with `languages`; nothing when the page file
    // cannot be read (*error says why).
    static std::optional<QByteArray> keyFor(const QString &pageFile, const QString &engineVersion,
                                            const QString &languages, QString *error = nullptr);
    // The same key, of a page file's bytes already read.
    static QByteArray keyForBytes(QByteArrayView pageBytes, const QString &engineVersion,
                                  const QString &languages);

    // An unusable folder (not creatable, a file, not writable) leaves the cache off.
    TextCache(QString folder, qint64 capBytes);

    bool usable() const { return m_usable; }
    // One line for the status bar when the cache is off or a write failed; empty otherwise.
    QString problem() const;
    QString folder() const { return m_folder; }

    // The stored layer for the key, marked as used just now.
    std::optional<TextLayer> load(const QByteArray &key);
    // Stores atomically, then removes the least recently used entries beyond the cap.
    bool store(const QByteArray &key, const TextLayer &layer);

    // The entry file of a key.
    QString pathFor(const QByteArray &key) const;
    // The stored form of an entry, and reading it back: what load() trusts.
    static QByteArray entryBytes(const QByteArray &key, const TextLayer &layer);
    static std::optional<TextLayer> fromEntryBytes(const QByteArray &key, const QByteArray &bytes);

private:
    void trim();

    QString m_folder;
    qint64 m_cap;
    bool m_usable = false;
    mutable QMutex m_mutex;
    QString m_problem;
    qint64 m_knownBytes = -1; // the folder's size as last counted plus what was added since
};

// A page's layer: from the cache when it holds it, otherwise read by `reader` and stored.
// `cache` may be null. *fromCache says which it was. A page that has to be decoded first
// (WWP) is known by its own file; `decode` is called only when it has to be read, and gives
// the decoded file, or nothing when decoding failed.
PageReading pageText(const QString &pageFile, TextCache *cache, PageReader &reader,
                     bool *fromCache = nullptr, const std::function<QString()> &decode = {},
                     const volatile int *cancel = nullptr);

} // namespace qen::ocr
