#pragma once

#include "site/site_outcome.h"

#include <cstdio>
#include <string>

namespace velkaro::vlk {

// Shows what a site operation said as the tools show the program's
// messages: each text on its own line of standard error (nothing sounds),
// then what the program puts on its status line.
// Returns the exit status: 0 when the operation succeeded, 1 otherwise.
inline int PrintOutcome(const SiteOutcome& outcome) {
  for (const std::string& text : outcome.messages()) std::fprintf(stderr, "%s\n", text.c_str());
  for (const std::string& text : outcome.notes()) std::fprintf(stderr, "%s\n", text.c_str());
  return outcome.ok() ? 0 : 1;
}

}  // namespace velkaro::vlk
