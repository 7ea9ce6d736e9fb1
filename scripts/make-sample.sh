#!/bin/bash
# Writes samples/sample.qen: an article package as the periodical database delivers it.
# Three scanned-looking pages (1-bit, CCITT G4, 150 dpi) with Chinese text, and the
# article's title as the archive comment in GBK.
# Needs ImageMagick, zip, iconv and a Noto CJK font.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/samples/sample.qen}
font=$(fc-list ':lang=zh:style=Regular' file | grep -m1 -i 'NotoSerifCJK' | cut -d: -f1 || true)
[ -n "$font" ] || font=$(fc-list ':lang=zh' file | head -n1 | cut -d: -f1)
[ -n "$font" ] || { echo "make-sample: no CJK font found (install fonts-noto-cjk)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

title='数字图书馆建设中的全文检索技术研究'

body=(
"　　随着信息技术的迅速发展，数字图书馆已成为图书馆事业发展的重要方向。"
"全文检索技术作为数字图书馆的核心技术之一，直接影响着读者获取信息的效率"
"与质量。本文从全文检索的基本原理出发，分析了倒排索引、中文分词与相关度"
"排序等关键技术，并结合期刊全文数据库的建设实践，探讨了检索系统的设计方法。"
"　　中文信息处理与西文不同，词与词之间没有明显的分隔符，因此分词是中文全文"
"检索的首要问题。常用的分词方法有基于词典的机械分词法、基于统计的分词法以及"
"两者相结合的方法。实践表明，词典与统计相结合的方法在准确率与速度之间取得了"
"较好的平衡。"
"　　在索引结构方面，倒排索引以词为单位记录其出现的文档与位置，适合大规模文献"
"的快速查询。为了减少索引所占的存储空间，可以对文档编号采用差值编码与变长编码，"
"压缩后的索引通常只有原文的三分之一左右。"
)

render_page() {
    local n=$1 heading=$2 file=$3
    local args=() y=190
    for line in "${body[@]}"; do
        args+=(-annotate "+110+$y" "$line")
        y=$((y + 46))
    done
    convert -size 1240x1754 xc:white -font "$font" -fill black \
        -pointsize 34 -annotate +110+120 "$heading" \
        -pointsize 23 "${args[@]}" \
        -pointsize 18 -annotate +590+1690 "— $n —" \
        -attenuate 0.08 +noise Impulse -blur 0x0.4 \
        -threshold 55% -monochrome \
        -units PixelsPerInch -density 150 -compress Group4 \
        "$file"
}

render_page 1 "$title" "$work/p1.tif"
render_page 2 "一、全文检索的基本原理" "$work/p2.tif"
render_page 3 "二、检索系统的设计与实现" "$work/p3.tif"

# Fixed times and no extra fields: the same script gives the same bytes.
touch -d '2006-05-01 08:00:00' "$work"/p*.tif
rm -f "$out"
mkdir -p "$(dirname "$out")"
(cd "$work" && zip -q -X -0 "$out" p1.tif p2.tif p3.tif)
printf '%s' "$title" | iconv -f UTF-8 -t GBK | zip -q -z "$out"
echo "wrote $out ($(stat -c %s "$out") bytes)"
