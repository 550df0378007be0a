#include "IEToolbarLogic.h"

#include <cstddef>

#include "GlobalLogic.h"
#include "LittleEndian.h"
#include "Texts.h"

const char kToolbarLayoutGuid[] = "{1E796980-9CC5-11D1-A83F-00C04FC99D61}";

namespace {

const size_t kHeaderSize = 4;
const uint32_t kInsertAfterMarker = 0xFFFFFFFFu;
// Field offsets within a record.
const size_t kMarkerAt = 0;
const size_t kCommandGroupAt = 4;
const size_t kCommandIdAt = 20;
const size_t kStateAt = 24;
// The record's State for a visible button.
const uint32_t kButtonVisible = 4;
// The browser's class for buttons that run a program.
const char kRunProgramButtonClass[] = "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";

// {1E796980-9CC5-11D1-A83F-00C04FC99D61} as the layout stores a GUID.
const uint8_t kLayoutGroupBytes[16] = {0x80, 0x69, 0x79, 0x1E, 0xC5, 0x9C, 0xD1, 0x11,
                                       0xA8, 0x3F, 0x00, 0xC0, 0x4F, 0xC9, 0x9D, 0x61};

}  // namespace

std::vector<TNameValue> ComposeExtensionValues(const std::string& executable, uint32_t majorVersion,
                                               uint32_t minorVersion) {
  const bool alphaIcons = IsXpOrLater(majorVersion, minorVersion);
  return {
      {"ButtonText", kToolbarButtonText},
      {"clsid", kRunProgramButtonClass},
      {"Default Visible", "Yes"},
      {"Exec", executable},
      {"HotIcon", executable + (alphaIcons ? ",1004" : ",1002")},
      {"Icon", executable + (alphaIcons ? ",1003" : ",1001")},
      {"MenuStatusBar", kToolsMenuStatusText},
      {"MenuText", kToolsMenuText},
  };
}

bool IsKnownToolbarLayoutSize(size_t size) {
  // Shorter than its header is as unknown as a torn record.
  return size >= kHeaderSize && (size - kHeaderSize) % kToolbarRecordSize == 0;
}

TButtonInsertion InsertToolbarButton(std::vector<uint8_t>* layout, uint32_t commandId) {
  if (!IsKnownToolbarLayoutSize(layout->size())) return kLayoutUnknown;
  const size_t count = (layout->size() - kHeaderSize) / kToolbarRecordSize;
  size_t insertAt = count;
  bool markerFound = false;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* record = layout->data() + kHeaderSize + i * kToolbarRecordSize;
    if (!markerFound && GetU32(record + kMarkerAt) == kInsertAfterMarker) {
      markerFound = true;
      insertAt = i + 1;
    }
    if (GetU32(record + kCommandIdAt) == commandId) return kButtonPresent;
  }
  uint8_t record[kToolbarRecordSize] = {};
  PutLE(record + kMarkerAt, commandId, 4);
  for (size_t i = 0; i < sizeof kLayoutGroupBytes; ++i) record[kCommandGroupAt + i] = kLayoutGroupBytes[i];
  PutLE(record + kCommandIdAt, commandId, 4);
  PutLE(record + kStateAt, kButtonVisible, 4);
  layout->insert(layout->begin() + static_cast<std::ptrdiff_t>(kHeaderSize + insertAt * kToolbarRecordSize), record,
                 record + kToolbarRecordSize);
  return kButtonInserted;
}
