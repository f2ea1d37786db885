#include "tests/import/picture_files.h"

#include "image/bmp_rows.h"
#include "tests/support/temp_folder.h"

#include <cpl_string.h>
#include <cstdio>
#include <fcntl.h>
#include <gdal_priv.h>
#include <map>
#include <unistd.h>

namespace velkaro::testing {

Pixels ReadBmpPixels(const std::string& path) {
  Pixels pixels;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  image::BmpRows rows;
  Status status = fd < 0 ? Status::FromErrno(errno, path) : rows.Open(fd, path);
  if (status.ok()) {
    pixels.width = rows.width();
    pixels.height = rows.height();
    pixels.rgb.resize(3 * size_t(pixels.width) * pixels.height);
    for (int32_t row = 0; status.ok() && row < rows.height(); ++row)
      status = rows.ReadRow(row, pixels.rgb.data() + 3 * size_t(pixels.width) * row);
  }
  if (!status.ok()) pixels.error = status.message();
  if (fd >= 0) ::close(fd);
  return pixels;
}

std::string WritePicture(const std::string& driver, const std::string& path, const Pixels& pixels,
                         PictureKind kind, const std::vector<std::string>& options) {
  GDALAllRegister();
  GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
  GDALDriver* target = GetGDALDriverManager()->GetDriverByName(driver.c_str());
  if (memory == nullptr || target == nullptr) return "no GDAL driver " + driver;
  const int bands = kind == PictureKind::kGrey || kind == PictureKind::kPalette ? 1 : 3;
  const GDALDataType type = kind == PictureKind::kWide ? GDT_UInt16 : GDT_Byte;
  GDALDataset* image = memory->Create("", pixels.width, pixels.height, bands, type, nullptr);
  const size_t count = size_t(pixels.width) * pixels.height;
  std::vector<uint8_t> plane(count);
  std::vector<uint16_t> wide(count);
  if (kind == PictureKind::kPalette) {
    std::map<uint32_t, uint8_t> indices;
    GDALColorTable table;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* p = pixels.rgb.data() + 3 * i;
      const uint32_t key = uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
      auto [at, added] = indices.emplace(key, uint8_t(indices.size()));
      if (added) {
        if (indices.size() > 256) return "more than 256 colours";
        const GDALColorEntry entry{p[0], p[1], p[2], 255};
        table.SetColorEntry(at->second, &entry);
      }
      plane[i] = at->second;
    }
    image->GetRasterBand(1)->SetColorTable(&table);
    image->GetRasterBand(1)->SetColorInterpretation(GCI_PaletteIndex);
  }
  for (int band = 0; band < bands; ++band) {
    for (size_t i = 0; i < count; ++i) {
      if (kind == PictureKind::kWide) wide[i] = uint16_t(pixels.rgb[3 * i + band] * 257);
      if (kind == PictureKind::kRgb || kind == PictureKind::kGrey)
        plane[i] = pixels.rgb[3 * i + band];
    }
    void* data = kind == PictureKind::kWide ? static_cast<void*>(wide.data()) : plane.data();
    if (image->GetRasterBand(band + 1)->RasterIO(GF_Write, 0, 0, pixels.width, pixels.height, data,
                                                 pixels.width, pixels.height, type, 0, 0,
                                                 nullptr) != CE_None)
      return "cannot fill the picture";
  }
  CPLStringList list;
  for (const std::string& option : options) list.AddString(option.c_str());
  GDALDataset* written =
      target->CreateCopy(path.c_str(), image, FALSE, list.List(), nullptr, nullptr);
  GDALClose(image);
  if (written == nullptr) return CPLGetLastErrorMsg();
  GDALClose(written);
  return "";
}

void WritePdf(const std::string& path, const std::vector<PdfPage>& pages) {
  // Objects: 1 catalog, 2 page tree, then a page and its content per page.
  std::vector<std::string> objects(2);
  std::string kids;
  for (size_t i = 0; i < pages.size(); ++i) {
    const int page = int(3 + 2 * i);
    kids += std::to_string(page) + " 0 R ";
    std::string content;
    for (const PdfRect& r : pages[i].rects) {
      char line[200];
      std::snprintf(line, sizeof line, "%g %g %g rg %g %g %g %g re f\n", r.r, r.g, r.b, r.x, r.y,
                    r.w, r.h);
      content += line;
    }
    char head[200];
    std::snprintf(head, sizeof head,
                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %g %g] /Contents %d 0 R >>",
                  pages[i].width, pages[i].height, page + 1);
    objects.push_back(head);
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                      "endstream");
  }
  objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    char entry[24];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  WriteText(path, pdf);
}

}  // namespace velkaro::testing
