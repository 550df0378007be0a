#include "IEToolbarLogic.h"

#include <cstddef>

const char kToolbarLayoutGuid[] = "{1E796980-9CC5-11D1-A83F-00C04FC99D61}";

TNameValue ExtensionValues[kExtensionValueCount] = {
    {"ButtonText", "Trawlix"},
    // The browser's class for buttons that run a program.
    {"clsid", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
    {"Default Visible", "Yes"},
    {"Exec", ""},
    {"HotIcon", ""},
    {"Icon", ""},
    {"MenuStatusBar", "Runs Trawlmark"},
    {"MenuText", "Run Trawlix"},
};

namespace {

const size_t kHeaderSize = 4;
const uint32_t kInsertAfterMarker = 0xFFFFFFFFu;
// Field offsets within a record.
const size_t kMarkerAt = 0;
const size_t kCommandGroupAt = 4;
const size_t kCommandIdAt = 20;
const size_t kStateAt = 24;

// {1E796980-9CC5-11D1-A83F-00C04FC99D61} as the layout stores a GUID.
const uint8_t kLayoutGroupBytes[16] = {0x80, 0x69, 0x79, 0x1E, 0xC5, 0x9C, 0xD1, 0x11,
                                       0xA8, 0x3F, 0x00, 0xC0, 0x4F, 0xC9, 0x9D, 0x61};

uint32_t GetLe32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void SetValue(const char* name, const std::string& value) {
  for (TNameValue& entry : ExtensionValues)
    if (entry.Name == name) entry.Value = value;
}

}  // namespace

bool IsXpOrLater(uint32_t majorVersion, uint32_t minorVersion) {
  return majorVersion > 5 || (majorVersion == 5 && minorVersion >= 1);
}

void ComposeExtensionValues(const std::string& executable, uint32_t majorVersion, uint32_t minorVersion) {
  const bool alphaIcons = IsXpOrLater(majorVersion, minorVersion);
  SetValue("Exec", executable);
  SetValue("HotIcon", executable + (alphaIcons ? ",1004" : ",1002"));
  SetValue("Icon", executable + (alphaIcons ? ",1003" : ",1001"));
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
    if (!markerFound && GetLe32(record + kMarkerAt) == kInsertAfterMarker) {
      markerFound = true;
      insertAt = i + 1;
    }
    if (GetLe32(record + kCommandIdAt) == commandId) return kButtonPresent;
  }
  uint8_t record[kToolbarRecordSize] = {};
  PutLe32(record + kMarkerAt, commandId);
  for (size_t i = 0; i < sizeof kLayoutGroupBytes; ++i) record[kCommandGroupAt + i] = kLayoutGroupBytes[i];
  PutLe32(record + kCommandIdAt, commandId);
  PutLe32(record + kStateAt, kButtonVisible);
  layout->insert(layout->begin() + static_cast<std::ptrdiff_t>(kHeaderSize + insertAt * kToolbarRecordSize), record,
                 record + kToolbarRecordSize);
  return kButtonInserted;
}
