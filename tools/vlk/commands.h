#pragma once

namespace velkaro::vlk {

// Each command gets the arguments after its name and returns the exit
// status: 0 success, 1 a failure that was reported, 2 wrong usage.
using Command = int (*)(int argc, char** argv);

struct CommandEntry {
  const char* name;
  const char* usage;  // the arguments, as shown by "vlk" alone
  Command run;
  const char* summary;            // what it does, for "vlk --help" and "vlk help NAME"
  const char* options = nullptr;  // its options' lines for "vlk help NAME", if any
};

int CmdDecode(int argc, char** argv);
int CmdWatch(int argc, char** argv);
int CmdInfo(int argc, char** argv);
int CmdExtract(int argc, char** argv);
int CmdSolve(int argc, char** argv);
int CmdSave(int argc, char** argv);
int CmdWorldfile(int argc, char** argv);
int CmdExport(int argc, char** argv);
int CmdImport(int argc, char** argv);
int CmdCompress(int argc, char** argv);
int CmdExpand(int argc, char** argv);

// Defined in main.cpp; the table lists every command.
extern const CommandEntry kCommands[];
extern const int kCommandCount;

}  // namespace velkaro::vlk
