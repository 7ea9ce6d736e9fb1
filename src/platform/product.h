#pragma once

#include <QString>

// Product values, defined once: every window, box and status panel reads them from here.
namespace qen::product {
inline QString name() {
    return QStringLiteral("Qen Browser");
}
inline QString version() {
    return QStringLiteral("3.0");
}
inline QString maker() {
    return QStringLiteral("Qen 信息技术有限公司");
}
inline QString makerNotice() {
    return QStringLiteral("Qen 信息技术有限公司 版权所有");
}
inline QString homePage() {
    return QStringLiteral("https://www.qeninfo.example/");
}
inline QString contactMail() {
    return QStringLiteral("support@qeninfo.example");
}
inline QString ocrCredit() {
    return QStringLiteral("文字识别：Tesseract OCR（Apache-2.0）");
}
// The instance number of the original platform. It names the hand-over file and prefixes
// every extraction folder, so it must be the same text in every copy.
inline QString instanceNumber() {
    return QStringLiteral("4194304");
}
} // namespace qen::product
