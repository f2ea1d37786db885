#include "platform/message_box.h"

#include <cstdio>

namespace velkaro {

void StderrMessageBox::ShowOk(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

bool StderrMessageBox::AskYesNo(const std::string& text) {
  std::fprintf(stderr, "%s (answered No)\n", text.c_str());
  return false;
}

}  // namespace velkaro
