// The record field filter. The input is a record, optionally preceded by settings text and
// a NUL byte; without one the options switch off 作者 and 文摘.
#include "fuzzsupport.h"
#include "platform/error.h"
#include "platform/profilestring.h"
#include "records/fieldfilter.h"

#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>

using namespace qen;

namespace {

QList<QByteArrayView> lines(QByteArrayView in) {
    QList<QByteArrayView> out;
    qsizetype start = 0;
    while (start < in.size()) {
        qsizetype end = start;
        while (end < in.size() && in[end] != '\n' && in[end] != '\r')
            ++end;
        out << in.sliced(start, end - start);
        qsizetype next = end;
        if (next < in.size())
            next += (in[next] == '\r' && next + 1 < in.size() && in[next + 1] == '\n') ? 2 : 1;
        start = next;
    }
    return out;
}

QString decodeLine(QByteArrayView line) {
    // A lone lead byte decodes to nothing, but the line holding it is no empty line.
    QStringDecoder gbk("GBK", QStringDecoder::Flag::Stateless);
    const QString text = gbk.decode(line);
    return text.isEmpty() && !line.isEmpty() ? QString(QChar::ReplacementCharacter) : text;
}

// The same rules on decoded text: which lines of the record stay.
QStringList reference(const QStringList &record, const ProfileSection &options) {
    QStringList kept;
    bool keep = true;
    for (const QString &line : record) {
        if (line.isEmpty())
            keep = true;
        const QString name = GetFieldName(line);
        if (!name.isEmpty()) {
            const auto truth = optionTruth(options.value(name, QStringLiteral("1"), 10));
            if (!truth)
                throw Error(QStringLiteral("bad option"));
            keep = *truth;
            if (keep)
                kept << line;
            continue;
        }
        if (keep)
            kept << line;
    }
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = input.indexOf('\0');
    QByteArray settings =
        *text::encodeGbk(QStringLiteral("[输出选项]\r\n作者=0\r\n文摘=0\r\n题　名=1\r\n"));
    QByteArray record = input;
    if (nul >= 0) {
        settings = input.left(nul);
        record = input.mid(nul + 1);
    }
    const QString iniPath = fuzz::scratch() + QStringLiteral("/Output.ini");
    fuzz::writeFile(iniPath, reinterpret_cast<const uint8_t *>(settings.constData()),
                    size_t(settings.size()));
    const ProfileSection options = ProfileFile::read(iniPath).section(outputOptionsSection());

    QByteArray filtered;
    bool failed = false;
    try {
        filtered = filterRecordBytes(record, options);
    } catch (const Error &) {
        failed = true;
    }

    // Decoded the way the record view would read it, the filter keeps exactly the lines the
    // rules keep, and fails exactly when they fail.
    // GBK lines are decoded one by one: the filter cuts lines on bytes, and a broken
    // character must not carry a line ending away with it, nor vanish and leave a line that
    // looks empty.
    const text::Decoded decoded = text::decodeExternal(record);
    const bool gbk = decoded.encoding == text::Encoding::Gbk;
    QStringList recordLines;
    if (gbk) {
        for (const QByteArrayView line : lines(record))
            recordLines << decodeLine(line);
    } else {
        // Broken UTF-16 goes through UTF-8 on its way, as the filter takes it; a second
        // byte-order mark stays text there (QString::fromUtf8 would drop it).
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        const QString recordText = utf8.decode(decoded.text.toUtf8());
        recordLines = recordText.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
        if (recordText.isEmpty() || recordText.endsWith(u'\n') || recordText.endsWith(u'\r'))
            recordLines.removeLast();
    }
    QStringList expected;
    bool expectedFailure = false;
    try {
        expected = reference(recordLines, options);
    } catch (const Error &) {
        expectedFailure = true;
    }
    QEN_FUZZ_CHECK(failed == expectedFailure, "the filter and the field rules disagree on failing");
    if (failed)
        return 0;
    if (gbk) {
        // A GBK record stays GBK byte for byte: every line written is a line of the record.
        const QList<QByteArrayView> in = lines(record);
        qsizetype at = 0;
        for (const QByteArrayView line : lines(filtered)) {
            while (at < in.size() && in[at] != line)
                ++at;
            QEN_FUZZ_CHECK(at < in.size(), "a filtered line is not a line of the record");
            ++at;
        }
    }
    QStringList outLines;
    if (gbk) {
        for (const QByteArrayView line : lines(filtered))
            outLines << decodeLine(line);
    } else {
        outLines = text::decodeExternal(filtered).text.split(QStringLiteral("\r\n"));
        if (!outLines.isEmpty() && outLines.last().isEmpty())
            outLines.removeLast();
    }
    if (outLines != expected)
        std::fprintf(stderr, "filter kept:\n  %s\nthe rules keep:\n  %s\n",
                     qPrintable(outLines.join(QStringLiteral("\n  "))),
                     qPrintable(expected.join(QStringLiteral("\n  "))));
    QEN_FUZZ_CHECK(outLines == expected, "the filter keeps other lines than the field rules");
    return 0;
}
