#include "PatchApply.h"

#include <algorithm>

#include "ApplyPth.h"

namespace {
const int32_t kFirstExtraRoom = 0x40000;
}

int32_t ApplyPatchWithRetry(const TBytes& base, const TBytes& patch, TBytes* output) {
  int64_t capacity = static_cast<int64_t>(base.size()) + kFirstExtraRoom;
  int32_t code = kPatchOutputTooSmall;
  for (int pass = 0; pass < 2 && code == kPatchOutputTooSmall; ++pass) {
    output->assign(static_cast<size_t>(std::min<int64_t>(capacity, 0x7FFFFFFF)), 0);
    int32_t length = static_cast<int32_t>(output->size());
    code = ApplyPatchToBuffer(base.data(), static_cast<int32_t>(base.size()), output->data(), &length,
                              patch.data(), static_cast<int32_t>(patch.size()), nullptr, nullptr);
    capacity = length;
    if (code == kPatchOk) output->resize(static_cast<size_t>(length));
  }
  if (code != kPatchOk) output->clear();
  return code;
}

bool PatchRebuilds(const TBytes& base, const TBytes& patch, const TBytes& target, int32_t* code) {
  TBytes output;
  *code = ApplyPatchWithRetry(base, patch, &output);
  return *code == kPatchOk && output == target;
}

std::string PatchResultText(int32_t code) {
  switch (code) {
    case kPatchOk: return "decoded";
    case kPatchMalformed: return "the patch is damaged or cut short";
    case kPatchBadCommand: return "the patch holds an invalid command";
    case kPatchOutsideBase: return "the patch reads beyond the end of the base (is it the right base?)";
    case kPatchCheckMismatch: return "the result fails its check value (is it the right base?)";
    case kPatchOutputTooSmall: return "the result is larger than the patch said";
    default: return "unknown failure";
  }
}
