// Writes the selector's click sound: a 60 ms mono 16-bit wave at 22050 Hz, a
// sharp metallic snap (a noise burst over two damped tones) made from fixed
// numbers, so every build writes the same bytes.
// Usage: make_click_wav OUTPUT.wav
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {
void Put(std::vector<unsigned char>& b, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_click_wav OUTPUT.wav\n");
    return 2;
  }
  constexpr std::uint32_t kRate = 22050;
  constexpr std::uint32_t kSamples = kRate * 60 / 1000;
  constexpr double kPi = 3.14159265358979323846;
  std::vector<unsigned char> pcm;
  std::uint32_t noise = 0x2545F491u;  // xorshift state
  for (std::uint32_t i = 0; i < kSamples; ++i) {
    const double t = static_cast<double>(i) / kRate;
    noise ^= noise << 13;
    noise ^= noise >> 17;
    noise ^= noise << 5;
    const double white = static_cast<double>(noise) / 4294967295.0 * 2.0 - 1.0;
    const double snap = white * std::exp(-t / 0.002);
    const double ring = 0.6 * std::sin(2 * kPi * 2900 * t) * std::exp(-t / 0.008) +
                        0.4 * std::sin(2 * kPi * 1150 * t) * std::exp(-t / 0.015);
    const double attack = i < 8 ? i / 8.0 : 1.0;  // no step at the very start
    const double sample = 0.8 * attack * (0.55 * snap + 0.45 * ring);
    const auto value = static_cast<std::int16_t>(std::lround(sample * 32767.0));
    Put(pcm, static_cast<std::uint16_t>(value), 2);
  }
  std::vector<unsigned char> file;
  const auto size = static_cast<std::uint32_t>(pcm.size());
  file.insert(file.end(), {'R', 'I', 'F', 'F'});
  Put(file, 36 + size, 4);
  file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put(file, 16, 4);
  Put(file, 1, 2);  // PCM
  Put(file, 1, 2);  // mono
  Put(file, kRate, 4);
  Put(file, kRate * 2, 4);  // bytes per second
  Put(file, 2, 2);          // bytes per frame
  Put(file, 16, 2);         // bits per sample
  file.insert(file.end(), {'d', 'a', 't', 'a'});
  Put(file, size, 4);
  file.insert(file.end(), pcm.begin(), pcm.end());
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() ||
      std::fclose(out) != 0) {
    std::fprintf(stderr, "make_click_wav: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
