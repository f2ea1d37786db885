#include "gui/qt_platform/qt_wave_player.h"

#include <cstdint>
#include <cstring>

#include <QEventLoop>
#include <QFile>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace velkaro {

namespace {

uint32_t ReadLe32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

int WaveLengthMs(const unsigned char* bytes, size_t size) {
  if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
    return 0;
  uint32_t byte_rate = 0;
  size_t at = 12;
  while (at + 8 <= size) {
    const uint32_t chunk = ReadLe32(bytes + at + 4);
    const size_t body = at + 8;
    if (std::memcmp(bytes + at, "fmt ", 4) == 0 && chunk >= 16 && body + 16 <= size) {
      byte_rate = ReadLe32(bytes + body + 8);
    } else if (std::memcmp(bytes + at, "data", 4) == 0) {
      if (byte_rate == 0) return 0;
      const uint64_t data = std::min<uint64_t>(chunk, size - body);
      return static_cast<int>((data * 1000 + byte_rate - 1) / byte_rate);
    }
    at = body + chunk + (chunk & 1);  // chunks are padded to even sizes
  }
  return 0;
}

QtWavePlayer::QtWavePlayer() = default;
QtWavePlayer::~QtWavePlayer() = default;

void QtWavePlayer::Release() { waves_.clear(); }

QtWavePlayer::Wave* QtWavePlayer::Find(const std::string& name) {
  auto found = waves_.find(name);
  if (found != waves_.end()) return found->second.effect ? &found->second : nullptr;
  Wave& wave = waves_[name];
  QFile file(QStringLiteral(":/waves/") + QString::fromStdString(name));
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  const QByteArray bytes = file.readAll();
  wave.length_ms = WaveLengthMs(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                static_cast<size_t>(bytes.size()));
  if (wave.length_ms == 0) return nullptr;
  wave.effect = std::make_unique<QSoundEffect>();
  wave.effect->setSource(QUrl(QStringLiteral("qrc:/waves/") + QString::fromStdString(name)));
  return &wave;
}

void QtWavePlayer::PlayAsync(const std::string& name) {
  if (Wave* wave = Find(name)) wave->effect->play();
}

void QtWavePlayer::Play(const std::string& name) {
  Wave* wave = Find(name);
  if (!wave) return;
  wave->effect->play();
  // Waits for the wave's length, or less when the effect reports its end;
  // user input stays queued meanwhile, as behind a modal sound.
  QEventLoop loop;
  QTimer::singleShot(wave->length_ms, &loop, &QEventLoop::quit);
  QObject::connect(wave->effect.get(), &QSoundEffect::playingChanged, &loop, [&] {
    if (!wave->effect->isPlaying()) loop.quit();
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace velkaro
