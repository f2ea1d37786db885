// Any bytes as a reference-point file: the parser must never crash, and
// whatever it accepts must survive being written and read again unchanged,
// pixel for pixel and bit for bit.
#include "site/reference_points_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velkaro;
  const ReferencePoints first =
      ParseReferencePoints(std::string_view(reinterpret_cast<const char*>(data), size));
  if (first.status.ok() != first.status.message().empty()) std::abort();
  if (!first.status.ok()) return 0;
  const ReferencePoints again =
      ParseReferencePoints(FormatReferencePoints(first.taps, std::nullopt));
  if (!again.status.ok() || again.taps.size() != first.taps.size()) std::abort();
  if (!first.taps.empty() && std::memcmp(again.taps.data(), first.taps.data(),
                                         first.taps.size() * sizeof(CSiteProjection::_tap)) != 0)
    std::abort();
  return 0;
}
