#include "library/filehelpers.h"
#include "library/opener.h"
#include "library/package.h"
#include "platform/error.h"
#include "tool/commands.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <cstdio>

namespace qen::tool {

namespace {

struct Listing {
    QString title;
    QStringList pages;
};

void print(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
}

QString jsonString(const QString &value) {
    // A one-element array gives Qt's escaping; the brackets are cut off.
    const QByteArray doc = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(doc.mid(1, doc.size() - 2));
}

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

} // namespace

int runInfo(const QStringList &args) {
    bool json = false;
    QStringList positional;
    for (const QString &a : args) {
        if (a == QLatin1String("--json"))
            json = true;
        else if (a.startsWith(QLatin1String("--")))
            return errorExit(QStringLiteral("info: unknown option '%1'").arg(a));
        else
            positional << a;
    }
    if (positional.size() != 1)
        return errorExit(QStringLiteral("usage: qentool info FILE [--json]"));
    const QString file = Opener::cleanItem(positional.first());
    try {
        switch (Opener::kindOf(file)) {
        case Opener::ItemKind::Package: {
            QTemporaryDir scratch;
            if (!scratch.isValid())
                throw Error(QStringLiteral("cannot create a scratch folder: %1")
                                .arg(scratch.errorString()));
            printListing(unpack(file, scratch.path()), json);
            return 0;
        }
        case Opener::ItemKind::Single: {
            if (!QFileInfo(file).isFile())
                throw Error(QStringLiteral("找不到文件 %1。").arg(file));
            printListing({GetBaseName(file), {QFileInfo(file).fileName()}}, json);
            return 0;
        }
        case Opener::ItemKind::Ignored:
            break;
        }
        return errorExit(QStringLiteral("%1 is neither a package nor a page or record file "
                                        "(known: QEN, ZIP, WWP, TIF, JPG, GIF, BMP, TXT, RTF, WP)")
                             .arg(file));
    } catch (const Error &e) {
        return errorExit(e.description());
    }
}

int runExtract(const QStringList &args) {
    if (args.size() != 2 || args.first().startsWith(QLatin1String("--")))
        return errorExit(QStringLiteral("usage: qentool extract FILE DIR"));
    const QString file = Opener::cleanItem(args.at(0));
    const QString dir = QDir::cleanPath(args.at(1));
    if (Opener::kindOf(file) != Opener::ItemKind::Package)
        return errorExit(QStringLiteral("%1 is not a package (.qen, .zip)").arg(file));
    const QFileInfo target(dir);
    if (target.exists() && !target.isDir())
        return errorExit(QStringLiteral("%1 exists and is not a folder").arg(dir));
    if (target.exists() &&
        !QDir(dir)
             .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
             .isEmpty())
        return errorExit(
            QStringLiteral("%1 is not empty; extract into a new or empty folder").arg(dir));
    if (!target.exists() && !QDir().mkpath(dir))
        return errorExit(QStringLiteral("cannot create the folder %1").arg(dir));
    try {
        printListing(unpack(file, dir), false);
        return 0;
    } catch (const Error &e) {
        return errorExit(e.description());
    }
}

} // namespace qen::tool
