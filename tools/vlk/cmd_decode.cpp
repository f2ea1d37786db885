// vlk decode [FILE]: runs recorded board bytes through the parser and the
// engine as the link worker does, and prints what each frame did.
#include "link/com.h"
#include "link/engine.h"
#include "link/frame_pump.h"
#include "link/parser.h"
#include "platform/regular_file.h"
#include "tools/vlk/commands.h"
#include "tools/vlk/fix_lines.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velkaro::vlk {
namespace {

// Prints the frames of one stream. The engine's request goes to a link
// with no port; the tool takes it from the transmit slot and prints it.
class DecodePrinter {
 public:
  DecodePrinter() : engine_(com_, gps_, clock_) {}

  void Feed(const uint8_t* data, size_t size) {
    PumpBytes(parser_, data, size, [this](uint8_t type, const uint8_t* body, uint32_t length) {
      OnFrame(type, body, length);
    });
  }

 private:
  void OnFrame(uint8_t type, const uint8_t* body, uint32_t length) {
    const bool accepted = engine_.HandleFrame(type, body, length);
    std::printf("frame %u %u %s\n", unsigned{type}, unsigned{length}, accepted ? "ok" : "bad");
    if (!accepted) return;
    if (type == 1) {
      char firmware[CEngine::kFirmwareSize];
      engine_.GetFirmware(firmware);
      PrintText("firmware", firmware);
    } else if (type == 2) {
      char serial[CEngine::kSerialSize];
      engine_.GetSerial(serial);
      PrintText("serial", serial);
    } else if (type == 25) {
      PrintFixLines(gps_.Read());
    }
    uint8_t sent[CCom::kTxSize];
    uint32_t sent_length = 0;
    if (com_.TakeWrite(sent, &sent_length)) {
      std::fputs("send", stdout);
      for (uint32_t i = 0; i < sent_length; ++i) std::printf(" %02X", unsigned{sent[i]});
      std::fputc('\n', stdout);
    }
  }

  // The stored text byte for byte, whatever it holds, up to its zero.
  static void PrintText(const char* label, const char* text) {
    std::fputs(label, stdout);
    std::fputc(' ', stdout);
    std::fwrite(text, 1, std::strlen(text), stdout);
    std::fputc('\n', stdout);
  }

  CCom com_;
  Published<CGpsData> gps_;
  SystemClock clock_;
  CEngine engine_;
  CParser parser_;
};

}  // namespace

int CmdDecode(int argc, char** argv) {
  if (argc > 1) {
    std::fprintf(stderr, "usage: vlk decode [FILE]\n");
    return 2;
  }
  std::FILE* in = stdin;
  const char* name = "standard input";
  if (argc == 1) {
    name = argv[0];
    int error = 0;
    in = OpenRegularStream(name, &error);  // a FIFO is read as standard input
    if (!in) {
      std::fprintf(stderr, "vlk decode: cannot open %s: %s\n", name, std::strerror(error));
      return 1;
    }
  }
  // The printer holds the parser's 8 KB buffer: keep it off the stack.
  static DecodePrinter printer;
  uint8_t chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof(chunk), in)) > 0) printer.Feed(chunk, got);
  const bool read_failed = std::ferror(in) != 0;
  if (in != stdin) std::fclose(in);
  if (read_failed) {
    std::fprintf(stderr, "vlk decode: cannot read %s\n", name);
    return 1;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "vlk decode: cannot write the output\n");
    return 1;
  }
  return 0;
}

}  // namespace velkaro::vlk
