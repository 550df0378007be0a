// Throughput of the check value beside zlib's crc32, and of the memory
// decoder on a delta patch and on an archive-like stream.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "ApplyPth.h"
#include "ArchiveFormat.h"
#include "CRC_32.h"
#include "Files.h"
#include "PatchWriter.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best of several rounds: the machine is shared, the best round is the code's speed.
template <typename F>
double BestMegabytesPerSecond(size_t bytes, int rounds, F work) {
  double best = 0;
  for (int r = 0; r < rounds; ++r) {
    auto start = std::chrono::steady_clock::now();
    work();
    double mbs = static_cast<double>(bytes) / 1e6 / Seconds(start);
    if (mbs > best) best = mbs;
  }
  return best;
}

std::vector<uint8_t> Pseudorandom(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t s = 12345;
  for (size_t i = 0; i < n; ++i) {
    s = s * 1664525u + 1013904223u;
    v[i] = static_cast<uint8_t>(s >> 24);
  }
  return v;
}

double DecodeSpeed(const TBytes& base, const TBytes& patch, size_t outputSize) {
  std::vector<uint8_t> out(outputSize);
  return BestMegabytesPerSecond(outputSize, 5, [&]() {
    int32_t length = static_cast<int32_t>(out.size());
    if (ApplyPatchToBuffer(base.data(), static_cast<int32_t>(base.size()), out.data(), &length, patch.data(),
                           static_cast<int32_t>(patch.size()), nullptr, nullptr) != kPatchOk)
      std::fprintf(stderr, "decode failed\n");
  });
}

}  // namespace

int main(int argc, char** argv) {
  const size_t n = 64u << 20;
  std::vector<uint8_t> data = Pseudorandom(n);
  volatile uint32_t sink = 0;
  double ours = BestMegabytesPerSecond(n, 7, [&]() { sink = UpdateCrc32(data.data(), static_cast<int32_t>(n), 0xFFFFFFFFu); });
  double zlib = BestMegabytesPerSecond(n, 7, [&]() { sink = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(n))); });
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  double bytewise = BestMegabytesPerSecond(n, 3, [&]() {
    uint32_t r = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) r = table[(r ^ data[i]) & 0xFF] ^ (r >> 8);
    sink = r;
  });
  std::printf("| `UpdateCrc32` | %.0f MB/s | %.0f%% of zlib's `crc32` |\n", ours, 100.0 * ours / zlib);
  std::printf("| zlib `crc32` | %.0f MB/s | |\n", zlib);
  std::printf("| byte-at-a-time table | %.0f MB/s | %.0f%% of zlib's `crc32` |\n", bytewise, 100.0 * bytewise / zlib);

  // An archive-like stream: 32 MiB of text-like bytes, literal runs in 2 MiB
  // blocks, deflated at the packer's default level.
  std::string text;
  for (int i = 0; text.size() < (32u << 20); ++i) text += "Trawlmark query " + std::to_string(i * 7919 % 100003) + ";\r\n";
  TPatchWriter w;
  BeginPatch(&w, nullptr, 0);
  w.blockLimit = 2 << 20;
  AddLiteral(&w, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  TBytes stream = EncodeBlocks(FinishCommands(&w), 12, 2);
  std::printf("| `ApplyPatchToBuffer`, literal stream (32 MiB text, deflated) | %.0f MB/s of output | |\n",
              DecodeSpeed(TBytes(), stream, text.size()));

  if (argc == 4) {
    TBytes base, patch, target;
    if (ReadWholeFile(argv[1], &base) && ReadWholeFile(argv[2], &patch) && ReadWholeFile(argv[3], &target))
      std::printf("| `ApplyPatchToBuffer`, delta patch (%s) | %.0f MB/s of output | |\n", "esbuild 0.19.11 → 0.19.12",
                  DecodeSpeed(base, patch, target.size()));
  }
  return sink == 1 ? 1 : 0;
}
