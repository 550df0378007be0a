#include "PatchApply.h"

#include "ApplyPth.h"
#include "FileIO.h"

int32_t ApplyPatchWithRetry(const TBytes& base, const TBytes& patch, TBytes* output) {
  std::string decoded;
  const size_t limit = static_cast<size_t>(kMaxByteCount);
  const int32_t code = base.size() >= limit || patch.size() >= limit
                           ? kPatchBadCommand
                           : DecodePatchInTwoPasses(base.data(), static_cast<int32_t>(base.size()), patch.data(),
                                                    static_cast<int32_t>(patch.size()), &decoded);
  output->assign(decoded.begin(), decoded.end());
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
