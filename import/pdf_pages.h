#pragma once

#include <string>

namespace velkaro::plan_import {

// Long side, in pixels, that a PDF page is rendered to at least when the
// user names no resolution: enough to read a site plan's small print when
// zoomed in, and about 25 megapixels for an A4 page.
inline constexpr int kPdfMinLongSide = 6000;

// The number of pages of the PDF at `path`; 0 when GDAL's PDF driver does
// not take the file. Any thread; opens and closes the file.
int PdfPageCount(const std::string& path);

// What GDAL opens for page `page` (1 = first): the file itself for page 1,
// else the driver's "PDF:N:path" subdataset.
std::string PdfPageName(const std::string& path, int page);

// The rendering resolution that gives the page at `page_name` a long side of
// at least kPdfMinLongSide pixels; 0 when the page does not open.
double PdfAutomaticDpi(const std::string& page_name);

// Whether GDAL's PDF driver takes the file at `path`.
bool IsPdf(const std::string& path);

}  // namespace velkaro::plan_import
