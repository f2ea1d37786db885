#include "cli/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velkaro::cli {
namespace {

constexpr std::size_t kTextColumn = 23;  // where an option's help starts, from 0

bool IsLetter(int key) { return (key >= 'a' && key <= 'z') || (key >= 'A' && key <= 'Z'); }

const Option* ByKey(std::span<const Option> options, int key) {
  for (const Option& option : options) {
    if (option.key == key) return &option;
  }
  return nullptr;
}

}  // namespace

Problem ReadOptions(int argc, char* const* argv, std::span<const Option> options,
                    const OptionSink& take, int* operands) {
  // "+": stop at the first word, so that problems come in the order given;
  // ":": a missing value reads as ':', apart from an unknown option.
  std::string shorts = "+:";
  std::vector<option> longs;
  for (const Option& o : options) {
    longs.push_back({o.name, o.has_arg, nullptr, o.key});
    if (!IsLetter(o.key)) continue;
    shorts += static_cast<char>(o.key);
    if (o.has_arg != no_argument) shorts += o.has_arg == required_argument ? ":" : "::";
  }
  longs.push_back({nullptr, 0, nullptr, 0});

  optind = 0;  // glibc starts over, whoever read a command line before
  opterr = 0;
  for (;;) {
    const int at = optind == 0 ? 1 : optind;
    int index = -1;
    const int key = getopt_long(argc, argv, shorts.c_str(), longs.data(), &index);
    if (key == -1) {
      // getopt_long steps over a lone "--"; it goes back to the program.
      const bool dashes = optind == at + 1 && std::strcmp(argv[at], "--") == 0;
      *operands = dashes ? at : optind;
      return {};
    }
    Problem problem;
    problem.arg = argv[at];
    if (key == '?') {
      problem.kind = Problem::Kind::kUnknown;
      problem.option = optopt != 0 ? ByKey(options, optopt) : nullptr;
    } else if (key == ':') {
      problem.kind = Problem::Kind::kNeedsValue;
      problem.option = ByKey(options, optopt);
    } else {
      const Option& option = index >= 0 ? options[index] : *ByKey(options, key);
      if (take(option, optarg)) continue;
      problem.kind = Problem::Kind::kRefused;
      problem.option = &option;
      if (optarg) problem.value = optarg;
    }
    *operands = optind;
    return problem;
  }
}

std::string HelpLine(const std::string& label, const char* text) {
  std::string line = "  " + label;
  line += line.size() < kTextColumn ? std::string(kTextColumn - line.size(), ' ')
                                    : "\n" + std::string(kTextColumn, ' ');
  for (; *text; ++text) {
    line += *text;
    if (*text == '\n') line += std::string(kTextColumn, ' ');
  }
  return line + "\n";
}

std::string OptionLines(std::span<const Option> options) {
  std::string lines;
  for (const Option& option : options) {
    std::string label = std::string("--") + option.name;
    if (option.value) label += std::string(" ") + option.value;
    lines += HelpLine(label, option.text);
  }
  return lines;
}

const char* Version() { return VELKARO_VERSION; }

int PrintHelp(const char* program, const std::string& text) {
  std::fputs(text.c_str(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "%s: cannot write the output\n", program);
    return 1;
  }
  return 0;
}

int PrintVersion(const char* program) {
  return PrintHelp(program, std::string(program) + " " + Version() + "\n");
}

bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || errno != 0 || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

}  // namespace velkaro::cli
