#include "ocr/languages.h"

#include "platform/profilestring.h"

namespace qen::ocr {

QString defaultLanguages() {
    return QStringLiteral("chi_sim");
}

QString configuredLanguages(const WorkFolders &folders) {
    const QString value =
        GetPrivateProfileString(QStringLiteral("OCR"), QStringLiteral("Languages"), QString(), 256,
                                folders.setting() + QStringLiteral("/Qen.ini"))
            .trimmed();
    return value.isEmpty() ? defaultLanguages() : value;
}

} // namespace qen::ocr
