#pragma once

#include "gis/plan_georef.h"

#include <array>
#include <string>

namespace velkaro::gis {

// The doc.kml of a plan's KMZ: a KML 2.2 document holding one GroundOverlay
// named `name` that lays the image at `image_href` (a path inside the KMZ)
// over the four corners (lower-left first, counter-clockwise) with
// gx:LatLonQuad, which unlike LatLonBox also carries rotation and shear.
// Coordinates are "longitude,latitude" with 12 decimals, about 0.1 micrometre.
std::string GroundOverlayKml(const std::string& name, const std::string& image_href,
                             const std::array<LonLat, 4>& corners);

}  // namespace velkaro::gis
