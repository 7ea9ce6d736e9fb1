#include "articles/recentfiles.h"

#include "platform/filehelpers.h"
#include "platform/profilestring.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace qen {

namespace {

const QString Section = QStringLiteral("Recent");
// Hand-edited files may number their entries far past Max; the first Max are taken.
constexpr int KeysLooked = 1000;
// The profile module's value cut; a percent-encoded path of 4096 UTF-8 bytes fits.
constexpr int ValueSize = 3 * 4096 + 1;

QString encoded(const QString &text) {
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

// A value that is not percent-encoded UTF-8 (written by hand, or by a GBK editor) is taken
// as the text it already is.
QString decoded(const QString &value) {
    const QByteArray bytes = QByteArray::fromPercentEncoding(value.toLatin1());
    const QString text = QString::fromUtf8(bytes);
    const bool ascii = std::all_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < 128; });
    return ascii && text.toUtf8() == bytes ? text : value;
}

} // namespace

QList<RecentFile> RecentFiles::load() const {
    const ProfileSection section = ProfileFile::read(m_iniPath).section(Section);
    QList<RecentFile> files;
    for (int i = 1; i <= KeysLooked && files.size() < Max; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (!section.contains(key))
            continue;
        const QString path = decoded(section.value(key, QString(), ValueSize));
        if (path.isEmpty() || std::any_of(files.begin(), files.end(),
                                          [&](const RecentFile &f) { return f.path == path; }))
            continue;
        const QString title =
            decoded(section.value(QStringLiteral("Title%1").arg(i), QString(), ValueSize));
        files.append({path, title.isEmpty() ? QFileInfo(path).fileName() : title});
    }
    return files;
}

bool RecentFiles::add(const QString &path, const QString &title) {
    QList<RecentFile> files = load();
    files.removeIf([&](const RecentFile &f) { return f.path == path; });
    files.prepend({path, title});
    return save(files.mid(0, Max));
}

bool RecentFiles::remove(const QString &path) {
    QList<RecentFile> files = load();
    files.removeIf([&](const RecentFile &f) { return f.path == path; });
    return save(files);
}

bool RecentFiles::clear() {
    return save({});
}

bool RecentFiles::save(const QList<RecentFile> &files) const {
    ProfileFile ini = ProfileFile::read(m_iniPath);
    const ProfileSection before = ini.section(Section);
    for (int i = 1; i <= KeysLooked; ++i) {
        const QString file = QStringLiteral("File%1").arg(i);
        const QString title = QStringLiteral("Title%1").arg(i);
        const bool listed = i <= files.size();
        // Keys past the list are emptied where they exist, never added.
        if (listed || before.contains(file))
            ini.set(Section, file, listed ? encoded(files[i - 1].path) : QString());
        if (listed || before.contains(title))
            ini.set(Section, title, listed ? encoded(files[i - 1].title) : QString());
    }
    CreateFolder(QFileInfo(m_iniPath).absolutePath());
    QSaveFile out(m_iniPath);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = ini.bytes();
    return out.write(bytes) == bytes.size() && out.commit();
}

} // namespace qen
