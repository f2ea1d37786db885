// Parser and engine throughput on the board's usual traffic: GPS frames with
// two bytes of line noise between them, beside a plain copy of the stream.
#include "link/board_session.h"
#include "link/engine.h"
#include "link/frame_pump.h"
#include "link/parser.h"

#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

namespace velkaro {
namespace {

SystemClock clock;  // the engine stamps each record; the bench reads no stamp

std::vector<uint8_t> GpsStream(size_t frames) {
  std::vector<uint8_t> stream;
  for (size_t f = 0; f < frames; ++f) {
    uint8_t payload[CGpsData::kPayloadSize];
    for (int i = 0; i < CGpsData::kPayloadSize; ++i) payload[i] = static_cast<uint8_t>(i * 37 + f);
    payload[129] = 0xE0;
    stream.insert(stream.end(), {0x11, 0x12, 25});
    uint8_t check = 25;
    auto put = [&stream](uint8_t b) {
      stream.push_back(b);
      if (b == 0x11) stream.push_back(0x14);
    };
    for (uint8_t b : payload) {
      put(b);
      check ^= b;
    }
    put(check);
    stream.insert(stream.end(), {0x11, 0x13, 0x00, 0x00});  // end pair, noise
  }
  return stream;
}

const std::vector<uint8_t>& Stream() {
  static const std::vector<uint8_t> stream = GpsStream(4096);  // about 650 KB
  return stream;
}

void BM_ParserEngineBlock(benchmark::State& state) {
  const std::vector<uint8_t>& stream = Stream();
  BoardLink link{clock};
  size_t frames = 0;
  for (auto _ : state) {
    PumpBytes(link.parser, stream.data(), stream.size(),
              [&](uint8_t type, const uint8_t* body, uint32_t length) {
                frames += link.engine.HandleFrame(type, body, length);
              });
  }
  benchmark::DoNotOptimize(frames);
  if (frames != 4096 * static_cast<size_t>(state.iterations())) state.SkipWithError("lost frames");
  state.SetBytesProcessed(static_cast<int64_t>(stream.size()) * state.iterations());
}
BENCHMARK(BM_ParserEngineBlock);

void BM_ParserEnginePerByte(benchmark::State& state) {
  const std::vector<uint8_t>& stream = Stream();
  BoardLink link{clock};
  size_t frames = 0;
  for (auto _ : state) {
    for (uint8_t b : stream) {
      link.parser.Feed(b);
      if (link.parser.m_state == CParser::Complete) {
        frames +=
            link.engine.HandleFrame(link.parser.m_type, link.parser.m_buffer, link.parser.m_length);
        link.parser.Reset();
      }
    }
  }
  benchmark::DoNotOptimize(frames);
  if (frames != 4096 * static_cast<size_t>(state.iterations())) state.SkipWithError("lost frames");
  state.SetBytesProcessed(static_cast<int64_t>(stream.size()) * state.iterations());
}
BENCHMARK(BM_ParserEnginePerByte);

void BM_Memcpy(benchmark::State& state) {
  const std::vector<uint8_t>& stream = Stream();
  std::vector<uint8_t> copy(stream.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), stream.data(), stream.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(stream.size()) * state.iterations());
}
BENCHMARK(BM_Memcpy);

}  // namespace
}  // namespace velkaro

BENCHMARK_MAIN();
