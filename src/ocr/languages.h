#pragma once

#include "platform/workfolders.h"

#include <QString>

namespace qen::ocr {

// The default recognition languages: what reads our users' bilevel scans best.
QString defaultLanguages();
// [OCR] Languages= in Setting/Qen.ini, the default when it is missing or empty.
QString configuredLanguages(const WorkFolders &folders);

} // namespace qen::ocr
