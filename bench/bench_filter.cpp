// Filtering a 100,000-line GBK record with ten fields switched off, against decoding and
// re-encoding the same file without filtering, both from file to file in the same run.
#include "platform/textcodec.h"
#include "records/fieldfilter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace qen;

namespace {

const QStringList Fields = {"光盘号", "题　名", "机　构", "刊　名", "ＣＮ号", "馆藏号", "出版地",
                            "C N 号", "报刊名", "文　摘", "关键词", "分类号", "正　文", "标　题",
                            "作　者", "ISSN号", "刊　号", "出版国", "馆　藏", "页　码"};

QByteArray makeRecord(int lines) {
    QString text;
    text.reserve(lines * 40);
    int field = 0;
    for (int i = 0; i < lines; ++i) {
        switch (i % 10) {
        case 9:
            text += QStringLiteral("\r\n");
            break;
        case 2:
        case 5:
            text += QStringLiteral("续行：全文数据库的题录记录，包含摘要与关键词 %1\r\n").arg(i);
            break;
        default:
            text += QStringLiteral("【%1】中文期刊全文数据库检索结果第%2条\r\n")
                        .arg(Fields[field++ % Fields.size()])
                        .arg(i);
        }
    }
    return *text::encodeGbk(text);
}

double bestOf(int runs, const std::function<void()> &work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return *std::min_element(times.begin(), times.end());
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes) {
    QSaveFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.commit();
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("record.txt"));
    const QString ini = dir.filePath(QStringLiteral("Output.ini"));
    writeAll(record, makeRecord(100000));
    QString options = QStringLiteral("[输出选项]\r\n");
    for (int i = 0; i < 10; ++i)
        options += Fields[i * 2] + QStringLiteral("=0\r\n");
    writeAll(ini, *text::encodeGbk(options));

    const int runs = 7;
    FilterOutcome outcome;
    const double filter =
        bestOf(runs, [&] { outcome = filterRecordFile(record, ini, dir.path()); });
    if (outcome.status != FilterOutcome::Filtered) {
        std::fprintf(stderr, "filter failed: %s\n", qPrintable(outcome.problem));
        return 1;
    }
    const QString copy = dir.filePath(QStringLiteral("copy.txt"));
    const double recode = bestOf(runs, [&] {
        const text::Decoded d = text::decodeExternal(readAll(record));
        writeAll(copy, *text::encode(d.text, d.encoding));
    });
    // The bare converters, without the check that refuses characters GBK cannot hold.
    const double bare = bestOf(runs, [&] {
        QStringDecoder dec("GBK");
        QStringEncoder enc("GBK");
        const QString s = dec.decode(readAll(record));
        writeAll(copy, enc.encode(s));
    });

    std::printf("bench_filter: 100,000-line GBK record (%lld bytes), 10 fields switched off, "
                "best of %d\n",
                static_cast<long long>(QFile(record).size()), runs);
    std::printf("  filter, file to file                 %8.1f ms\n", filter);
    std::printf("  baseline: decode + re-encode (checked) %6.1f ms   ratio %.2fx (goal <= 2x)\n",
                recode, filter / recode);
    std::printf("  baseline: bare GBK converters        %8.1f ms   ratio %.2fx\n", bare,
                filter / bare);
    return 0;
}
