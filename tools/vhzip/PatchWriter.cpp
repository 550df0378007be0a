#include "PatchWriter.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "ArchiveFormat.h"
#include "CRC_32.h"
#include "Deflate.h"
#include "DeflateSplit.h"

using namespace vhz;

namespace {

int32_t Room(const TPatchWriter* w) { return w->blockLimit - static_cast<int32_t>(w->current.size()); }

void CloseBlock(TPatchWriter* w) {
  if (w->current.empty()) return;
  w->blocks.push_back(std::move(w->current));
  w->current.clear();
}

}  // namespace

void BeginPatch(TPatchWriter* w, const uint8_t* base, int32_t baseSize) {
  w->base = base;
  w->baseSize = baseSize;
  w->blockLimit = kMaxBlockContent;
  w->minOffsetWidth = 1;
  w->blocks.clear();
  w->current.clear();
  w->check = kCheckStart;
  w->produced = 0;
}

void AddCopy(TPatchWriter* w, uint32_t offset, uint32_t length) {
  int32_t ow = std::max(OperandWidth(offset), w->minOffsetWidth);
  int32_t lw = OperandWidth(length);
  if (Room(w) < 1 + ow + lw) CloseBlock(w);
  w->current.push_back(CopyOpcode(ow, lw));
  AppendLE(&w->current, offset, ow);
  AppendLE(&w->current, length, lw);
  w->check = UpdateCrc32(w->base + offset, static_cast<int32_t>(length), w->check);
  w->produced += length;
}

void AddLiteral(TPatchWriter* w, const uint8_t* data, size_t size) {
  while (size > 0) {
    // The run must share its block with its length field and at least one
    // byte; what does not fit continues as a new run in the next block.
    int32_t room = Room(w);
    int32_t width = OperandWidth(static_cast<uint32_t>(std::min<size_t>(size, static_cast<size_t>(room))));
    int64_t fits = static_cast<int64_t>(room) - 1 - width;
    if (fits < 1) {
      CloseBlock(w);
      continue;
    }
    uint32_t take = static_cast<uint32_t>(std::min<int64_t>(fits, static_cast<int64_t>(size)));
    width = OperandWidth(take);
    w->current.push_back(LiteralOpcode(width));
    AppendLE(&w->current, take, width);
    w->current.insert(w->current.end(), data, data + take);
    w->check = UpdateCrc32(data, static_cast<int32_t>(take), w->check);
    w->produced += take;
    data += take;
    size -= take;
  }
}

std::vector<TBytes> FinishCommands(TPatchWriter* w) {
  if (Room(w) < kEndCommandSize) CloseBlock(w);
  w->current.push_back(kOpEnd);
  AppendLE(&w->current, w->check, 4);
  CloseBlock(w);
  return std::move(w->blocks);
}

TBytes EncodeBlock(const TBytes& commands, int level, bool resplit) {
  TBytes packed;
  if (level > 0) packed = DeflateZlib(commands.data(), commands.size(), level);
  if (resplit && !packed.empty()) {
    TBytes finer = ResplitDeflate(packed);
    if (!finer.empty()) packed = std::move(finer);
  }
  bool deflated = !packed.empty() && packed.size() < commands.size();
  const TBytes& stored = deflated ? packed : commands;
  TBlockHeader h;
  h.method = deflated ? kMethodDeflated : kMethodStored;
  h.contentLength = static_cast<int32_t>(commands.size());
  h.storedLength = static_cast<int32_t>(stored.size());
  h.blockCheck = UpdateCrc32(stored.data(), h.storedLength, kCheckStart);
  TBytes out(kBlockHeaderSize + stored.size());
  PutBlockHeader(out.data(), h);
  if (!stored.empty()) std::memcpy(out.data() + kBlockHeaderSize, stored.data(), stored.size());
  return out;
}

void ParallelFor(size_t count, int threads, const std::function<void(size_t)>& job) {
  if (threads <= 1 || count <= 1) {
    for (size_t i = 0; i < count; ++i) job(i);
    return;
  }
  std::atomic<size_t> next(0);
  auto worker = [&]() {
    for (size_t i = next++; i < count; i = next++) job(i);
  };
  std::vector<std::thread> pool;
  size_t n = std::min(count, static_cast<size_t>(threads));
  for (size_t t = 1; t < n; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
}

TBytes EncodeBlocks(const std::vector<TBytes>& commandBlocks, int level, int threads, bool resplit) {
  std::vector<TBytes> encoded(commandBlocks.size());
  ParallelFor(commandBlocks.size(), threads,
              [&](size_t i) { encoded[i] = EncodeBlock(commandBlocks[i], level, resplit); });
  TBytes out;
  for (const TBytes& b : encoded) out.insert(out.end(), b.begin(), b.end());
  return out;
}
