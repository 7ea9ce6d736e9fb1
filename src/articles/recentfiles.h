#pragma once

#include <QList>
#include <QString>

// The files opened last, newest first, kept in the work root's Qen.ini under [Recent]:
// FileN and TitleN (N from 1) hold the path and the article's title as percent-encoded
// UTF-8, so any path survives whatever encoding the settings file is in.
namespace qen {

struct RecentFile {
    QString path;
    QString title;
    bool operator==(const RecentFile &) const = default;
};

class RecentFiles {
public:
    static constexpr int Max = 10;

    explicit RecentFiles(QString iniPath) : m_iniPath(std::move(iniPath)) {}

    // The first Max entries in key order; empty, missing or undecodable values are passed
    // over, and a path listed twice counts once. A missing or unreadable file is an empty list.
    QList<RecentFile> load() const;
    // Puts the file first (moving it when listed) and writes the list; false when the file
    // could not be written, which leaves it as it was.
    bool add(const QString &path, const QString &title);
    bool remove(const QString &path);
    bool clear();

private:
    bool save(const QList<RecentFile> &files) const;

    QString m_iniPath;
};

} // namespace qen
