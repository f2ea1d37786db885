#pragma once

#include "gui/common/command_target.h"

namespace velkaro {

// The single document. It holds no data: the program's state lives in the
// link, the engine and the site model. It handles no command.
class CVelkaroDoc : public ICommandTarget {
 public:
  bool HandlesCommand(int) const override { return false; }
  void OnCommand(int) override {}
};

}  // namespace velkaro
