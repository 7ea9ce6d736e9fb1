#pragma once

#include <QString>
#include <QStringList>

namespace qen::tool {

struct Listing {
    QString title;
    QStringList pages;
};

// 'title: TITLE' then 'N<TAB>NAME' per page, or the JSON form; UTF-8 on standard output.
void printListing(const Listing &listing, bool json);

// The same steps as opening in the program: extraction with its checks, then page discovery
// and ordering. Throws qen::Error.
Listing unpack(const QString &file, const QString &folder);

} // namespace qen::tool
