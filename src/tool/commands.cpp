#include "tool/commands.h"

#include "platform/product.h"

#include <cstdio>
#include <iterator>

namespace qen::tool {

namespace {

// Commands are added here as the subsystems behind them land.
const Command Commands[] = {
    {"version", "version                 print the program version",
     [](const QStringList &) {
         std::fputs(qPrintable(versionText()), stdout);
         return 0;
     }},
    {"info",
     "info FILE [--json]      list a package's title and pages (a page or record file\n"
     "                          lists itself as page 1): 'title: TITLE', then\n"
     "                          'N<TAB>NAME' per page in tree order; --json prints\n"
     "                          {\"title\": ..., \"pages\": [...]}",
     runInfo},
    {"extract",
     "extract FILE DIR        unpack a package into DIR (new or empty) with the\n"
     "                          program's safety rules, then list it as info does",
     runExtract},
    {"filter",
     "filter RECORD [--options FILE] [--raw]\n"
     "                          print the record as the field filter writes it, in\n"
     "                          the terminal's encoding; --raw: the file's exact bytes",
     runFilter},
    {"cite",
     "cite [--format ris|bibtex|csljson|enw|gbt7714] RECORD...\n"
     "                          print every entry of the record files as UTF-8: RIS,\n"
     "                          biblatex, CSL-JSON, EndNote tagged, or GB/T 7714-2015\n"
     "                          citations numbered [1], [2], ... (the default)",
     runCite},
    {"ocr",
     "ocr IMAGE [--area X,Y,W,H] [--lang LANGS]\n"
     "                          print the text recognised in the image (or the area\n"
     "                          of it, in pixels) as UTF-8; LANGS as in [OCR] Languages",
     runOcr},
    {"text",
     "text FILE... [--hocr | --json] [--lang LANGS]\n"
     "                          print the recognised text of every image page of the\n"
     "                          packages and pages, each under '== TITLE : 第N页';\n"
     "                          --hocr writes hOCR, --json the layout with its boxes;\n"
     "                          pages read once are kept in ~/.cache/QenBrowser/text",
     runText},
    {"find",
     "find TEXT FILE... [--tolerant] [--lang LANGS]\n"
     "                          print FILE:PAGE:LINE: TEXT for each line of recognised\n"
     "                          text where TEXT begins (blanks, line ends, width and\n"
     "                          Latin case do not count; --tolerant lets one character\n"
     "                          in four or more differ); exit 0 found, 1 not, 2 error",
     runFind},
    {"topdf",
     "topdf [--text] OUT.pdf INPUT...\n"
     "                          write the pages of page files and packages (each in its\n"
     "                          page order) into one PDF, keeping compressed page data\n"
     "                          as it is; the first package's title is the PDF's title;\n"
     "                          --text lays each page's recognised text over it, so that\n"
     "                          the PDF can be searched and its text copied",
     runToPdf},
};

} // namespace

QString versionText() {
    return QStringLiteral("%1 %2\n").arg(product::name(), product::version());
}

QString usage() {
    QString text = QStringLiteral("usage: qentool COMMAND [ARGS]\n"
                                  "       qentool --help | --version\n\ncommands:\n");
    for (const Command &c : Commands)
        text += QStringLiteral("  %1\n").arg(QString::fromUtf8(c.synopsis));
    text += QStringLiteral("\nErrors go to standard error; the exit status is then 2.\n");
    return text;
}

int run(const QString &name, const QStringList &args) {
    for (const Command &c : Commands) {
        if (name == QLatin1String(c.name))
            return c.run(args);
    }
    return errorExit(QStringLiteral("unknown command '%1' (see qentool --help)").arg(name));
}

} // namespace qen::tool
