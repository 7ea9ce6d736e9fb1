#pragma once

#include "export/pdfwriter.h"
#include "ocr/textlayer.h"

namespace qen::pdf {

// A page's recognised text as the writer lays it over the page: its lines in reading order,
// each glyph with its box and whether the engine saw a blank before it.
PageText pageTextOf(const ocr::TextLayer &layer);

} // namespace qen::pdf
