// Whole delta patches made from the hand-made pieces of PatchBytes.h: what the
// base and the target share at their beginning and end is copied from the base,
// the middle is carried as literals; commands are packed into deflated blocks
// that never split a command.
#pragma once

#include <algorithm>

#include "PatchBytes.h"

namespace patchbytes {

inline Bytes MakePatch(const Bytes& base, const Bytes& target, size_t blockContent = 1 << 20) {
  size_t prefix = 0;
  while (prefix < base.size() && prefix < target.size() && base[prefix] == target[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < base.size() - prefix && suffix < target.size() - prefix &&
         base[base.size() - 1 - suffix] == target[target.size() - 1 - suffix])
    ++suffix;

  std::vector<Bytes> commands;
  if (prefix > 0) commands.push_back(Copy(0, static_cast<uint32_t>(prefix)));
  const size_t literalRun = std::min<size_t>(blockContent - 8, 0xFFFF);
  for (size_t at = prefix; at < target.size() - suffix; at += literalRun) {
    const size_t n = std::min(literalRun, target.size() - suffix - at);
    commands.push_back(Literal(Bytes(target.begin() + static_cast<std::ptrdiff_t>(at),
                                     target.begin() + static_cast<std::ptrdiff_t>(at + n))));
  }
  if (suffix > 0)
    commands.push_back(Copy(static_cast<uint32_t>(base.size() - suffix), static_cast<uint32_t>(suffix)));
  commands.push_back(EndFor(target));

  Bytes patch, block;
  for (const Bytes& command : commands) {
    if (!block.empty() && block.size() + command.size() > blockContent) {
      patch = patch + Deflated(block);
      block.clear();
    }
    block = block + command;
  }
  return patch + Deflated(block);
}

}  // namespace patchbytes
