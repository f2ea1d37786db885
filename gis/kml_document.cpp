#include "gis/kml_document.h"

#include <cstdio>

namespace velkaro::gis {
namespace {

// Text content for XML: the five characters with a meaning there escaped;
// control characters other than tab and line breaks are not allowed in XML
// 1.0 at all, so they become a space.
std::string XmlText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out +=
            static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r' ? ' ' : c;
    }
  }
  return out;
}

}  // namespace

std::string GroundOverlayKml(const std::string& name, const std::string& image_href,
                             const std::array<LonLat, 4>& corners) {
  std::string coordinates;
  for (const LonLat& corner : corners) {
    char pair[80];
    std::snprintf(pair, sizeof pair, "%s%.12f,%.12f", coordinates.empty() ? "" : " ", corner.lon,
                  corner.lat);
    coordinates += pair;
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
         "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n"
         "  <GroundOverlay>\n"
         "    <name>" +
         XmlText(name) +
         "</name>\n"
         "    <Icon>\n"
         "      <href>" +
         XmlText(image_href) +
         "</href>\n"
         "    </Icon>\n"
         "    <gx:LatLonQuad>\n"
         "      <coordinates>" +
         coordinates +
         "</coordinates>\n"
         "    </gx:LatLonQuad>\n"
         "  </GroundOverlay>\n"
         "</kml>\n";
}

}  // namespace velkaro::gis
