#include "tool/pagelisting.h"

#include "articles/package.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

namespace qen::tool {

namespace {

void print(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
}

QString jsonString(const QString &value) {
    // A one-element array gives Qt's escaping; the brackets are cut off.
    const QByteArray doc = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(doc.mid(1, doc.size() - 2));
}

} // namespace

void printListing(const Listing &listing, bool json) {
    if (json) {
        QStringList pages;
        for (const QString &p : listing.pages)
            pages << jsonString(p);
        print(QStringLiteral("{\"title\": %1, \"pages\": [%2]}\n")
                  .arg(jsonString(listing.title), pages.join(QStringLiteral(", "))));
        return;
    }
    QString out = QStringLiteral("title: %1\n").arg(listing.title);
    for (qsizetype i = 0; i < listing.pages.size(); ++i)
        out += QStringLiteral("%1\t%2\n").arg(i + 1).arg(listing.pages.at(i));
    print(out);
}

// The same steps as opening in the program: extraction with its checks, then page discovery
// and ordering.
Listing unpack(const QString &file, const QString &folder) {
    const ExtractResult result = ExtractPackage(file, folder);
    Listing listing;
    listing.title = result.title;
    listing.pages = ListPageFiles(folder);
    SortFileNames(listing.pages);
    return listing;
}

} // namespace qen::tool
