#pragma once

#include <initializer_list>

namespace velkaro {

// One stop on the command route. UI thread only.
class ICommandTarget {
 public:
  virtual ~ICommandTarget() = default;
  virtual bool HandlesCommand(int id) const = 0;
  // REQUIRES: HandlesCommand(id).
  virtual void OnCommand(int id) = 0;
};

// Commands travel active view, document, frame, application: the first
// target on that route that handles the command gets it. Null targets are
// skipped. Returns the target, or null when none handles `id` (its button is
// then shown disabled).
ICommandTarget* RouteCommand(int id, std::initializer_list<ICommandTarget*> route);

}  // namespace velkaro
