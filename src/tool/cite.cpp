// qentool cite [--format ris|bibtex|csljson|enw|gbt7714] RECORD...: the records' entries as a
// reference manager imports them, or as GB/T 7714 citations.
#include "records/citationformats.h"
#include "tool/commands.h"

#include <cstdio>

namespace qen::tool {

namespace {

const QString Usage =
    QStringLiteral("usage: qentool cite [--format ris|bibtex|csljson|enw|gbt7714] RECORD...");

void note(const QString &message) {
    std::fprintf(stderr, "qentool: %s\n", message.toUtf8().constData());
}

} // namespace

int runCite(const QStringList &args) {
    records::CitationFormat format = records::CitationFormat::Gbt7714;
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--format") || a.startsWith(QLatin1String("--format="))) {
            QString name;
            if (a.contains(QLatin1Char('=')))
                name = a.section(QLatin1Char('='), 1);
            else if (i + 1 < args.size())
                name = args[++i];
            else
                return errorExit(QStringLiteral("--format needs a format name\n") + Usage);
            const auto named = records::formatNamed(name);
            if (!named)
                return errorExit(QStringLiteral("unknown format '%1'\n").arg(name) + Usage);
            format = *named;
        } else if (a == QLatin1String("--")) {
            files << args.mid(i + 1);
            break;
        } else if (a.startsWith(QLatin1String("--"))) {
            return errorExit(QStringLiteral("unknown option '%1'\n").arg(a) + Usage);
        } else {
            files << a;
        }
    }
    if (files.isEmpty())
        return errorExit(Usage);

    const records::CitationBatch batch = records::readCitations(files);
    for (const QString &problem : batch.problems)
        note(problem);
    if (batch.citations.isEmpty())
        return errorExit(QStringLiteral("no record to cite"));
    const QByteArray out = records::formatCitations(batch.citations, format);
    if (std::fwrite(out.constData(), 1, size_t(out.size()), stdout) != size_t(out.size()) ||
        std::fflush(stdout) != 0)
        return errorExit(QStringLiteral("cannot write the output"));
    return batch.failedFiles ? 2 : 0;
}

} // namespace qen::tool
