// What the browser button needs that is plain data: the values of the browser
// extension key and the insertion of the button into a user's toolbar layout.
// Portable, so that the byte work is tested natively as well.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Product.h"

// The toolbar band whose layout holds the button of the product's browser
// extension (kExtensionGuid).
extern const char kToolbarLayoutGuid[];  // "{1E796980-9CC5-11D1-A83F-00C04FC99D61}"

struct TNameValue {
  std::string Name;
  std::string Value;
};

// The eight values of the extension key, in the order they are written, for
// the product's executable on a Windows of this version: Windows XP (5.1) and
// later draw the button's icons with alpha and get icons 1003/1004, older
// systems 1001/1002.
std::vector<TNameValue> ComposeExtensionValues(const std::string& executable, uint32_t majorVersion,
                                               uint32_t minorVersion);

// One button of a toolbar layout: the layout is a 4-byte header followed by
// records of this size.
const size_t kToolbarRecordSize = 28;

// A header followed by whole records; anything else is a layout this setup
// does not know and leaves alone.
bool IsKnownToolbarLayoutSize(size_t size);

enum TButtonInsertion {
  kLayoutUnknown,   // not a header followed by whole records: left alone
  kButtonPresent,   // a record already carries the command: left alone
  kButtonInserted,  // the layout grew by one record
};

// Puts the product's button (command commandId) into a toolbar layout: after
// the first record whose marker is 0xFFFFFFFF, or at the end when there is
// none.
TButtonInsertion InsertToolbarButton(std::vector<uint8_t>* layout, uint32_t commandId);
