// The record parser and the citation outputs: any bytes give entries (or none) and outputs
// that stay well formed, never a crash or a hang.
#include "fuzzsupport.h"
#include "records/citationformats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

using namespace qen::records;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Rich text records go through the RTF reader and its QTextDocument.
    qen::fuzz::ensureGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const ParsedRecord parsed =
        parseRecordBytes(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    QList<Citation> citations;
    for (const Entry &e : parsed.entries) {
        QEN_FUZZ_CHECK(!e.fields.isEmpty(), "an entry without a field");
        QSet<QString> names;
        for (const Field &f : e.fields) {
            QEN_FUZZ_CHECK(!f.name.isEmpty(), "a field without a name");
            QEN_FUZZ_CHECK(!names.contains(f.name), "a field twice in one entry");
            names.insert(f.name);
        }
        citations << citationOf(e);
    }
    assignKeys(citations);

    QSet<QString> keys;
    for (const Citation &c : citations) {
        QEN_FUZZ_CHECK(!c.key.isEmpty() && !keys.contains(c.key), "keys must be unique");
        for (QChar ch : c.key)
            QEN_FUZZ_CHECK(ch.unicode() > 0x20 && ch.unicode() < 0x7F, "keys must be ASCII");
        keys.insert(c.key);
        const QString gbt = toGbt7714(c);
        QEN_FUZZ_CHECK(!gbt.contains(QLatin1Char('\n')) && gbt.endsWith(QLatin1Char('.')),
                       "a citation is one line ending in a point");
    }

    const QByteArray ris = toRis(citations);
    QEN_FUZZ_CHECK(ris.count("TY  - ") >= citations.size() &&
                       ris.count("ER  - \r\n") == citations.size(),
                   "every RIS entry opens with TY and closes with ER");
    for (qsizetype i = ris.indexOf('\n'); i >= 0; i = ris.indexOf('\n', i + 1))
        QEN_FUZZ_CHECK(i > 0 && ris[i - 1] == '\r', "RIS lines end in CR LF");

    const QByteArray bib = toBibtex(citations);
    int depth = 0;
    for (char ch : bib) {
        depth += ch == '{' ? 1 : ch == '}' ? -1 : 0;
        QEN_FUZZ_CHECK(depth >= 0, "BibTeX braces close before they open");
    }
    QEN_FUZZ_CHECK(depth == 0, "BibTeX braces do not balance");

    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(toCslJson(citations), &error);
    QEN_FUZZ_CHECK(error.error == QJsonParseError::NoError && json.isArray() &&
                       json.array().size() == citations.size(),
                   "CSL-JSON reads back as one item per entry");
    toEndNote(citations);
    return 0;
}
