#include "tests/gis/gdal_image.h"

#include <cpl_vsi.h>
#include <cstdlib>
#include <gdal_priv.h>

namespace velkaro::testing {

RgbImage ReadWithGdal(const std::string& path) {
  GDALAllRegister();
  RgbImage image;
  GDALDataset* dataset = static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly));
  if (dataset == nullptr) {
    image.error = "GDAL cannot open " + path;
    return image;
  }
  image.width = dataset->GetRasterXSize();
  image.height = dataset->GetRasterYSize();
  const int bands = dataset->GetRasterCount();
  const size_t pixels = size_t(image.width) * image.height;
  GDALRasterBand* first = bands > 0 ? dataset->GetRasterBand(1) : nullptr;
  const bool wide = first != nullptr && first->GetRasterDataType() == GDT_UInt16;
  std::vector<uint16_t> planes(pixels * bands);
  if (bands == 0 ||
      dataset->RasterIO(GF_Read, 0, 0, image.width, image.height, planes.data(), image.width,
                        image.height, GDT_UInt16, bands, nullptr, 0, 0, 0, nullptr) != CE_None) {
    image.error = "GDAL cannot read the pixels of " + path;
    GDALClose(dataset);
    return image;
  }
  const GDALColorTable* palette = first->GetColorTable();
  int grey_scale = 1;
  if (const char* nbits = first->GetMetadataItem("NBITS", "IMAGE_STRUCTURE"))
    grey_scale = 255 / ((1 << std::atoi(nbits)) - 1);
  auto sample = [&](int band, size_t i) {
    const unsigned v = planes[band * pixels + i];
    return static_cast<uint8_t>(wide ? (v * 255 + 32767) / 65535 : v);
  };
  const int alpha_band = bands == 2 || bands == 4 ? bands - 1 : -1;
  image.rgb.resize(pixels * 3);
  image.alpha.assign(pixels, 255);
  for (size_t i = 0; i < pixels; ++i) {
    uint8_t* out = image.rgb.data() + 3 * i;
    if (palette != nullptr) {
      const GDALColorEntry* entry = palette->GetColorEntry(planes[i]);
      out[0] = entry ? entry->c1 : 0, out[1] = entry ? entry->c2 : 0,
      out[2] = entry ? entry->c3 : 0;
    } else if (bands < 3) {
      out[0] = out[1] = out[2] = static_cast<uint8_t>(sample(0, i) * grey_scale);
    } else {
      for (int c = 0; c < 3; ++c) out[c] = sample(c, i);
    }
    if (alpha_band >= 0) image.alpha[i] = sample(alpha_band, i);
  }
  GDALClose(dataset);
  image.ok = true;
  return image;
}

std::string ZipText(const std::string& zip, const std::string& entry) {
  VSILFILE* file = VSIFOpenL(("/vsizip/" + zip + "/" + entry).c_str(), "rb");
  if (file == nullptr) return {};
  std::string text;
  char chunk[4096];
  for (size_t got; (got = VSIFReadL(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
  VSIFCloseL(file);
  return text;
}

}  // namespace velkaro::testing
