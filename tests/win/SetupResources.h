// Reading the resources of the built setup program: the executable is loaded
// as a data file (nothing of it runs), and dialog templates are decoded field
// by field so that tests can compare them with the screens' tables.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace twxres {

// The built TWXInst.exe of this build, loaded once as a data file; null when it
// cannot be loaded.
HMODULE SetupModule();

// The bytes of a resource of the setup program; empty when there is none.
std::string ResourceBytes(LPCSTR name, LPCSTR type);

struct TDialogControl {
  uint32_t id;            // a classic template stores 16 bits: "none" reads 0xFFFF
  std::string className;  // a predefined class by its name ("Button", "Edit", ...)
  std::string text;       // "#n" for a resource number (the icon of a static icon)
  uint32_t style;
  uint32_t exStyle;
  int16_t x, y, cx, cy;
};

struct TDialogTemplate {
  bool extended;
  uint32_t style;
  uint32_t exStyle;
  int16_t x, y, cx, cy;
  std::string menu;
  std::string className;
  std::string caption;
  uint16_t pointSize;     // 0 and an empty face when the template names no font
  uint16_t weight;        // extended templates only
  uint8_t italic;
  uint8_t charset;
  std::string face;
  std::vector<TDialogControl> controls;
};

// Decodes a DLGTEMPLATE or DLGTEMPLATEEX; false (with a reason) when the bytes
// end early or are malformed.
bool ParseDialogTemplate(const std::string& bytes, TDialogTemplate* dialog, std::string* error);

}  // namespace twxres
