// qentool text FILE... [--hocr | --json] and qentool find TEXT FILE... [--tolerant]: every
// page's recognised text, through the same engine and cache as the program.
#include "articles/opener.h"
#include "articles/wwp.h"
#include "ocr/ocrtext.h"
#include "ocr/recognition.h"
#include "ocr/textcache.h"
#include "ocr/textmatch.h"
#include "ocr/textqueue.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "tool/commands.h"
#include "tool/pagelisting.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace qen::tool {

namespace {

struct Page {
    QString input; // the FILE argument as given
    QString title; // the article's title as the tree shows it
    int number = 0;
    QString name; // the page's file name
    ocr::TextLayer layer;
};

bool print(const QByteArray &utf8) {
    return std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout) == size_t(utf8.size());
}

// Reads every image page of the inputs in tree order and hands each to `use`. A page that
// cannot be read is reported and the others go on; false when anything failed.
class PageWalk {
public:
    explicit PageWalk(const QString &languages)
        : m_reader(ocr::PageEngineLibrary::shared(), languages),
          m_cache(ocr::TextCache::defaultFolder(),
                  ocr::TextCache::configuredCapBytes(toolFolders())) {
        if (!m_cache.usable())
            std::fprintf(stderr, "qentool: %s\n", qPrintable(m_cache.problem()));
    }

    bool run(const QStringList &inputs, const std::function<bool(const Page &)> &use) {
        bool ok = true;
        for (const QString &arg : inputs) {
            try {
                ok = walk(arg, use) && ok;
            } catch (const Error &e) {
                std::fprintf(stderr, "qentool: %s\n", qPrintable(e.description()));
                ok = false;
            }
        }
        if (const QString problem = m_cache.problem(); m_cache.usable() && !problem.isEmpty())
            std::fprintf(stderr, "qentool: %s\n", qPrintable(problem));
        return ok;
    }

private:
    bool walk(const QString &arg, const std::function<bool(const Page &)> &use) {
        const QString input = Opener::cleanItem(arg);
        QTemporaryDir scratch;
        if (!scratch.isValid())
            throw Error(
                QStringLiteral("cannot create a scratch folder: %1").arg(scratch.errorString()));
        QString title;
        QStringList pages;
        switch (Opener::kindOf(input)) {
        case Opener::ItemKind::Package: {
            const QString folder = scratch.filePath(QStringLiteral("pages"));
            if (!QDir().mkpath(folder))
                throw Error(QStringLiteral("cannot create the folder %1").arg(folder));
            const Listing listing = unpack(input, folder);
            title = listing.title;
            for (const QString &p : listing.pages)
                pages << folder + QLatin1Char('/') + p;
            break;
        }
        case Opener::ItemKind::Single:
            if (!QFileInfo(input).isFile())
                throw Error(QStringLiteral("找不到文件 %1。").arg(input));
            title = GetBaseName(input);
            pages << input;
            break;
        case Opener::ItemKind::Ignored:
            throw Error(QStringLiteral("%1 is neither a package nor a page file").arg(input));
        }
        bool ok = true;
        for (qsizetype i = 0; i < pages.size(); ++i) {
            const QString &path = pages[i];
            if (!ocr::isRecognisablePage(path))
                continue;
            std::function<QString()> decode;
            if (GetFileExt(path).toUpper() == QLatin1String("WWP")) {
                decode = [&scratch, &path, i] {
                    return WwpDecoder::decodeWrappedInto(path, scratch,
                                                         QStringLiteral("wwp%1.tif").arg(i));
                };
            }
            ocr::PageReading r = ocr::pageText(path, &m_cache, m_reader, nullptr, decode);
            if (!r.ok()) {
                std::fprintf(stderr, "qentool: %s, 第%d页: %s\n", qPrintable(arg), int(i + 1),
                             qPrintable(r.message));
                ok = false;
                continue;
            }
            if (!use({arg, title, int(i + 1), QFileInfo(path).fileName(), std::move(*r.layer)}))
                throw Error(QStringLiteral("cannot write the output"));
        }
        return ok;
    }

    ocr::PageReader m_reader;
    ocr::TextCache m_cache;
};

// Options shared by both commands; the rest are positional.
struct Options {
    QString languages;
    QStringList positional;
    QStringList flags;
};

std::optional<Options> parse(const QStringList &args, const QStringList &knownFlags,
                             QString *error) {
    Options o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--lang")) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("--lang needs a value");
                return std::nullopt;
            }
            o.languages = args[++i];
        } else if (knownFlags.contains(a)) {
            o.flags << a;
        } else if (a.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("unknown option '%1'").arg(a);
            return std::nullopt;
        } else {
            o.positional << a;
        }
    }
    if (o.languages.isEmpty())
        o.languages = ocr::configuredLanguages(toolFolders());
    return o;
}

QString escaped(const QString &text) {
    return text.toHtmlEscaped();
}

QString bbox(const QRect &r) {
    return QStringLiteral("bbox %1 %2 %3 %4")
        .arg(r.left())
        .arg(r.top())
        .arg(r.x() + r.width())
        .arg(r.y() + r.height());
}

// hOCR words: runs between blanks, and every Chinese character a word of its own, as the
// tools that lay a text layer over a scan expect.
QString hocrPage(const Page &page, int index) {
    const ocr::TextLayer &layer = page.layer;
    // One pass of arg(): a file name holding "%2" stays as it is.
    QString out =
        QStringLiteral("<div class=\"ocr_page\" id=\"page_%1\" title=\"image %2; %3; "
                       "ppageno %4; scan_res %5 %5\">\n")
            .arg(QString::number(index), escaped(QLatin1Char('"') + page.name + QLatin1Char('"')),
                 bbox(QRect(QPoint(0, 0), layer.pageSize())), QString::number(index - 1),
                 QString::number(layer.dpi()));
    int block = 0, word = 0;
    for (int l = 0; l < layer.lineCount(); ++l) {
        const int first = layer.firstGlyphOfLine(l), last = layer.lastGlyphOfLine(l);
        if (layer.glyph(first).blockStart) {
            if (block)
                out += QStringLiteral(" </div>\n");
            // The block's box: its lines up to the next block.
            int end = l;
            while (end + 1 < layer.lineCount() &&
                   !layer.glyph(layer.firstGlyphOfLine(end + 1)).blockStart)
                ++end;
            QRect area;
            for (const QRect &r : layer.boxesFor(first, layer.lastGlyphOfLine(end)))
                area |= r;
            out += QStringLiteral(" <div class=\"ocr_carea\" id=\"block_%1_%2\" title=\"%3\">\n")
                       .arg(index)
                       .arg(++block)
                       .arg(bbox(area));
        }
        out += QStringLiteral("  <span class=\"ocr_line\" id=\"line_%1_%2\" title=\"%3\">")
                   .arg(index)
                   .arg(l + 1)
                   .arg(bbox(layer.boxesFor(first, last).value(0)));
        for (int g = first; g <= last;) {
            int end = g;
            const auto chinese = [&](int i) {
                const QList<uint> c = layer.glyphText(i).toUcs4();
                return !c.isEmpty() && ocr::isChineseText(c.first());
            };
            while (end + 1 <= last && !layer.glyph(end + 1).blankBefore && !chinese(end) &&
                   !chinese(end + 1))
                ++end;
            QString text;
            int confidence = 0;
            for (int i = g; i <= end; ++i) {
                text += layer.glyphText(i);
                confidence += layer.glyph(i).confidence;
            }
            if (g > first)
                out += QLatin1Char(' ');
            out += QStringLiteral("<span class=\"ocrx_word\" id=\"word_%1_%2\" title=\"%3; "
                                  "x_wconf %4\">%5</span>")
                       .arg(index)
                       .arg(++word)
                       .arg(bbox(layer.boxesFor(g, end).value(0)))
                       .arg(confidence / (end - g + 1))
                       .arg(escaped(text));
            g = end + 1;
        }
        out += QStringLiteral("</span>\n");
    }
    if (block)
        out += QStringLiteral(" </div>\n");
    out += QStringLiteral("</div>\n");
    return out;
}

QJsonArray jsonBox(const QRect &r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

QJsonObject jsonPage(const Page &page) {
    const ocr::TextLayer &layer = page.layer;
    QJsonArray blocks, lines;
    auto closeBlock = [&] {
        if (!lines.isEmpty())
            blocks.append(QJsonObject{{u"lines"_qs, lines}});
        lines = QJsonArray();
    };
    for (int l = 0; l < layer.lineCount(); ++l) {
        const int first = layer.firstGlyphOfLine(l), last = layer.lastGlyphOfLine(l);
        if (layer.glyph(first).blockStart)
            closeBlock();
        QJsonArray glyphs;
        for (int g = first; g <= last; ++g) {
            const ocr::Glyph glyph = layer.glyph(g);
            glyphs.append(QJsonObject{{u"text"_qs, glyph.text},
                                      {u"box"_qs, jsonBox(glyph.box)},
                                      {u"confidence"_qs, glyph.confidence},
                                      {u"blankBefore"_qs, glyph.blankBefore}});
        }
        lines.append(QJsonObject{{u"text"_qs, layer.lineText(l)},
                                 {u"box"_qs, jsonBox(layer.boxesFor(first, last).value(0))},
                                 {u"glyphs"_qs, glyphs}});
    }
    closeBlock();
    return {{u"file"_qs, page.input},
            {u"title"_qs, page.title},
            {u"page"_qs, page.number},
            {u"name"_qs, page.name},
            {u"width"_qs, layer.pageSize().width()},
            {u"height"_qs, layer.pageSize().height()},
            {u"dpi"_qs, layer.dpi()},
            {u"blocks"_qs, blocks}};
}

const char *const TextUsage = "usage: qentool text FILE... [--hocr | --json] [--lang LANGS]";
const char *const FindUsage = "usage: qentool find TEXT FILE... [--tolerant] [--lang LANGS]";

} // namespace

int runText(const QStringList &args) {
    QString error;
    const std::optional<Options> o = parse(args, {u"--hocr"_qs, u"--json"_qs}, &error);
    if (!o)
        return errorExit(error);
    if (o->positional.isEmpty() || o->flags.size() > 1)
        return errorExit(QString::fromLatin1(TextUsage));
    const bool hocr = o->flags.contains(u"--hocr"_qs);
    const bool json = o->flags.contains(u"--json"_qs);
    PageWalk walk(o->languages);
    if (hocr) {
        print(
            QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
                "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"zh\" lang=\"zh\">\n"
                "<head>\n<title>%1</title>\n"
                "<meta http-equiv=\"Content-Type\" content=\"text/html;charset=utf-8\"/>\n"
                "<meta name=\"ocr-system\" content=\"%2\"/>\n"
                "<meta name=\"ocr-capabilities\" content=\"ocr_page ocr_carea ocr_line "
                "ocrx_word\"/>\n</head>\n<body>\n")
                .arg(escaped(GetBaseName(o->positional.first())), escaped(versionText().trimmed()))
                .toUtf8());
    }
    int index = 0;
    QJsonArray pages;
    const bool ok = walk.run(o->positional, [&](const Page &page) {
        if (hocr)
            return print(hocrPage(page, ++index).toUtf8());
        if (json) {
            pages.append(jsonPage(page));
            return true;
        }
        QString text = page.layer.plainText();
        text.replace(u"\r\n"_qs, u"\n"_qs);
        return print(QStringLiteral("== %1 : 第%2页\n%3")
                         .arg(page.title, QString::number(page.number), text)
                         .toUtf8());
    });
    if (hocr)
        print("</body>\n</html>\n");
    if (json)
        print(QJsonDocument(QJsonObject{{u"pages"_qs, pages}}).toJson(QJsonDocument::Indented));
    if (std::fflush(stdout) != 0)
        return errorExit(QStringLiteral("cannot write the output"));
    return ok ? 0 : 2;
}

int runFind(const QStringList &args) {
    QString error;
    const std::optional<Options> o = parse(args, {u"--tolerant"_qs}, &error);
    if (!o)
        return errorExit(error);
    if (o->positional.size() < 2)
        return errorExit(QString::fromLatin1(FindUsage));
    const std::u32string query = ocr::foldForSearch(o->positional.first());
    if (query.empty())
        return errorExit(QStringLiteral("find: the text to look for is empty"));
    const ocr::MatchMode mode =
        o->flags.isEmpty() ? ocr::MatchMode::Exact : ocr::MatchMode::Tolerant;
    PageWalk walk(o->languages);
    bool found = false;
    const bool ok = walk.run(o->positional.mid(1), [&](const Page &page) {
        const ocr::SearchText text(page.layer);
        int lastLine = -1;
        for (const ocr::TextMatch &m : text.find(query, mode)) {
            const int line = page.layer.lineOf(m.firstGlyph);
            if (line == lastLine)
                continue;
            lastLine = line;
            found = true;
            if (!print(QStringLiteral("%1:%2:%3: %4\n")
                           .arg(page.input, QString::number(page.number), QString::number(line + 1),
                                page.layer.lineText(line))
                           .toUtf8()))
                return false;
        }
        return true;
    });
    if (std::fflush(stdout) != 0)
        return errorExit(QStringLiteral("cannot write the output"));
    return !ok ? 2 : found ? 0 : 1;
}

} // namespace qen::tool
