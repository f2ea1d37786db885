#pragma once

// What gpsd's reports mean to the GPS record and the identity texts. Pure
// functions on the structures libgps decodes the reports into: no
// connection, no threads, no clock.
//
// A TPV report fills the record the way a board position report does:
//  - date and time: the fix time, in UTC, into m_month, m_day, m_year,
//    m_hour, m_minute and m_second; a report without a time keeps the
//    previous date and time;
//  - position: latitude and longitude in degrees, north and east positive,
//    into blocks B and A alike; a report without a finite latitude in
//    [-90, 90] and longitude in [-180, 180] keeps the previous position;
//  - fix mode (also in bits 7..5 of m_status, as the board reports it):
//      7 "3D Fix"          a 3-D fix (gpsd mode 3) with a position, whose
//                          status is not simulated, dead reckoning only or
//                          time only;
//      6 "2D Fix"          a 2-D fix (gpsd mode 2);
//      5 "Propogate Mode"  a 3-D report that is simulated or dead reckoning
//                          only;
//      3 "Acquiring Satellites"  anything else.
//    A receiver in demo mode reports simulated fixes, so it never locks.
// The horizontal error estimate is TPV's eph, or the hypotenuse of epx and
// epy where eph is missing; unknown (NaN) when neither is given.
//
// A SKY report gives the HDOP and the satellites used and seen, which the
// record keeps until the next SKY report; a SKY report alone publishes no
// record. The record's arrival time (m_receivedMs) is stamped when it is
// published.
//
// A DEVICE report names the receiver: the firmware text is its driver and
// firmware as gpsd gives them (driver, subtype, subtype1, separated by single
// spaces, e.g. "NMEA0183"), and the serial-number text is the device path
// gpsd reads.

#include "link/gps_data.h"

#include <cstdint>
#include <string>
#include <string_view>

struct gps_fix_t;
struct gps_data_t;
struct devconfig_t;

namespace velkaro {

// The report kinds the link acts on, told apart by the class gpsd writes
// first in every report: {"class":"TPV",...
enum class GpsdReportKind { kOther, kTpv, kSky, kDevice, kDevices };
GpsdReportKind ClassifyGpsdReport(std::string_view json);

// The record's fix mode for one TPV report, as listed above.
uint8_t FixModeFromGpsd(const gps_fix_t& fix);

// Applies one TPV report to `record`, keeping what the report leaves out.
void ApplyGpsdFix(const gps_fix_t& fix, CGpsData& record);
// Applies one SKY report's HDOP and satellite counts to `record`.
void ApplyGpsdSky(const gps_data_t& sky, CGpsData& record);

// The identity texts a device report gives; an empty text is unknown and
// leaves the shown one as it is.
struct GpsdIdentity {
  std::string firmware;
  std::string serial;
  bool operator==(const GpsdIdentity&) const = default;
};
GpsdIdentity IdentityFromGpsd(const devconfig_t& device);

}  // namespace velkaro
