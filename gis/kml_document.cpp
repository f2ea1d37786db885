#include "gis/kml_document.h"

#include <cstdio>
#include <string_view>

namespace velkaro::gis {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0
// when it is not one: a truncated sequence, a stray continuation byte, an
// overlong form, a surrogate or a code point past U+10FFFF.
size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte, per the lead
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong three-byte forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong four-byte forms
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

// Text content for XML: the five characters with a meaning there escaped;
// control characters other than tab and line breaks are not allowed in XML
// 1.0 at all, so they become a space. The document says it is UTF-8, but a
// file name on Linux is any bytes: a byte that does not start a well-formed
// UTF-8 sequence becomes U+FFFD, the replacement character, so the KML stays
// a document every reader takes.
std::string XmlText(const std::string& text) {
  std::string out;
  std::string_view rest(text);
  while (!rest.empty()) {
    const char c = rest.front();
    if (static_cast<unsigned char>(c) >= 0x80) {
      const size_t length = Utf8SequenceLength(rest);
      out.append(length == 0 ? std::string_view("\xEF\xBF\xBD") : rest.substr(0, length));
      rest.remove_prefix(length == 0 ? 1 : length);
      continue;
    }
    rest.remove_prefix(1);
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
