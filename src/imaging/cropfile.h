#pragma once

#include <QString>

// The crop file: the selected area written as a TIFF in the program folder, where recognition
// picks it up.
namespace qen::cropfile {

// <program folder>/Temp.tif
QString path(const QString &appPath);

// Makes sure a crop can be written at `path`: creates its folder when missing and removes a
// crop left by an earlier command (also a read-only one), so that an old crop can never be
// taken for the new one. Throws qen::Error naming the folder when either fails.
void prepare(const QString &path);

// The message shown when a crop cannot be written: names the folder and says why.
QString failureText(const QString &path, const QString &reason);

} // namespace qen::cropfile
