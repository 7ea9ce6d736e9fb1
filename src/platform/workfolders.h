#pragma once

#include <QString>

namespace qen {

// The program's work files: the work root with the hand-over file, Temp for extraction
// folders, Setting for Output.ini, and the program folder (gAppPath) for crop, recognition
// and PDF staging files.
class WorkFolders {
public:
    // $QENINFO_HOME, else $XDG_DATA_HOME/QenInfo (~/.local/share/QenInfo).
    static QString defaultRoot();
    // The executable's folder when the user can write to it (a build tree, a portable copy),
    // else <root>/Program.
    static QString appPathFor(const QString &executableDir, const QString &root);

    WorkFolders(QString root, QString appPath);

    const QString &root() const { return m_root; }
    const QString &appPath() const { return m_appPath; }
    QString temp() const;
    QString setting() const;
    QString handoverFile() const;
    QString leftoverMarker() const;
    QString appTemp() const;

    // Start-up: removes the leftover marker, then creates the root and Temp. Failures are
    // silent here; the operation that needs a folder reports it (ensure()).
    void prepareAtStartup() const;

    // Creates the folder (and the root above it) when missing; throws qen::Error naming the
    // folder that could not be created.
    void ensure(const QString &folder) const;

    // Deletes this program's extraction folders (names starting with the instance number)
    // with everything in them, and the plain files and links in Temp; then Temp and the
    // staging folders when empty. Other folders in Temp are left alone. Ignores every
    // failure; a link is removed as a link, never followed.
    void cleanUp() const;

private:
    QString m_root;
    QString m_appPath;
};

} // namespace qen
