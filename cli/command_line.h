#pragma once

// What the programs' command lines share. Each program describes its long
// options once, in a table of Option; that table feeds getopt_long and
// writes the option lines of the program's --help.

#include <functional>
#include <getopt.h>
#include <span>
#include <string>
#include <vector>

namespace velkaro::cli {

struct Option {
  const char* name;   // without the leading "--"
  int has_arg;        // no_argument, required_argument or optional_argument
  int key;            // what the option reads as; a letter is also its short form ("-h")
  const char* value;  // the value's name in the help ("PATH"); nullptr: none
  const char* text;   // its help; each '\n' starts a line of its own
};

// Keys for the two options every program has, outside the letters.
inline constexpr int kHelpKey = 0x100;
inline constexpr int kVersionKey = 0x101;
inline constexpr Option kHelp = {"help", no_argument, kHelpKey, nullptr, "this text"};
inline constexpr Option kVersion = {"version", no_argument, kVersionKey, nullptr,
                                    "print the program's name and version"};

// The first argument that stopped ReadOptions, and why.
struct Problem {
  enum class Kind {
    kNone,        // every option was read
    kUnknown,     // not an option of the table (or one given a value it takes none of)
    kNeedsValue,  // the option's value is missing
    kRefused,     // the program refused the option or its value
  };
  Kind kind = Kind::kNone;
  std::string arg;                 // the argument as given
  const Option* option = nullptr;  // the option, when it is one of the table
  std::string value;               // the value kRefused refused
};

// Called with an option's key and its value (nullptr: none given); false
// refuses it. The next argument to read is argv[optind] meanwhile.
using OptionSink = std::function<bool(const Option& option, const char* value)>;

// Reads the options in argv[1..] with getopt_long, in order, up to the first
// argument that is not an option (a lone "--" included, which is left for
// the program like any other word). getopt_long prints nothing: each
// program reports a problem in its own words. On return *operands is the
// index of the first argument left unread.
Problem ReadOptions(int argc, char* const* argv, std::span<const Option> options,
                    const OptionSink& take, int* operands);

// One line of a --help: "  LABEL" and `text` from column 24 (on the next
// line when the label is too long for that); each '\n' in `text` starts a
// line of its own at that column.
std::string HelpLine(const std::string& label, const char* text);
// The option lines of a --help: "--name VALUE" and its text, one HelpLine each.
std::string OptionLines(std::span<const Option> options);

// The version of every program, e.g. "1.03".
const char* Version();

// `text` on standard output; exit status 0, or 1 when it cannot be written.
int PrintHelp(const char* program, const std::string& text);
// "PROGRAM VERSION" on standard output, with PrintHelp's exit status.
int PrintVersion(const char* program);

// The whole of `text` as a finite number, as strtod reads it (leading
// blanks allowed, no trailing ones).
bool ParseNumber(const char* text, double* value);

}  // namespace velkaro::cli
