#include "SetupResources.h"

#include <cstring>

namespace twxres {

HMODULE SetupModule() {
  static HMODULE module = LoadLibraryExA(TWX_SETUP_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  return module;
}

std::string ResourceBytes(LPCSTR name, LPCSTR type) {
  HMODULE module = SetupModule();
  if (!module) return std::string();
  HRSRC found = FindResourceA(module, name, type);
  if (!found) return std::string();
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return std::string();
  return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

namespace {

// Sequential reader over the template bytes; every read checks the bounds.
class TReader {
 public:
  explicit TReader(const std::string& bytes) : bytes_(bytes) {}
  bool failed() const { return failed_; }

  uint16_t Word() {
    uint16_t value = 0;
    Take(&value, sizeof value);
    return value;
  }
  uint32_t Dword() {
    uint32_t value = 0;
    Take(&value, sizeof value);
    return value;
  }
  int16_t Short() { return static_cast<int16_t>(Word()); }
  uint8_t Byte() {
    uint8_t value = 0;
    Take(&value, sizeof value);
    return value;
  }
  std::string WideString() {
    std::string text;
    for (uint16_t c = Word(); c != 0 && !failed_; c = Word()) {
      text += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return text;
  }
  // A name or an ordinal: 0xFFFF followed by a number gives "#number".
  std::string NameOrOrdinal() {
    if (offset_ + 2 <= bytes_.size() && Peek() == 0xFFFF) {
      Word();
      return "#" + std::to_string(Word());
    }
    return WideString();
  }
  void AlignDword() { offset_ = (offset_ + 3) & ~static_cast<size_t>(3); }
  void Skip(size_t count) {
    if (offset_ + count > bytes_.size()) failed_ = true;
    offset_ += count;
  }

 private:
  uint16_t Peek() const {
    uint16_t value;
    std::memcpy(&value, bytes_.data() + offset_, sizeof value);
    return value;
  }
  void Take(void* out, size_t count) {
    if (failed_ || offset_ + count > bytes_.size()) {
      failed_ = true;
      return;
    }
    std::memcpy(out, bytes_.data() + offset_, count);
    offset_ += count;
  }

  const std::string& bytes_;
  size_t offset_ = 0;
  bool failed_ = false;
};

// A class given by ordinal is one of the predefined ones.
std::string ClassName(const std::string& raw) {
  static const char* const kPredefined[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
  for (int i = 0; i < 6; ++i) {
    if (raw == "#" + std::to_string(0x80 + i)) return kPredefined[i];
  }
  return raw;
}

}  // namespace

bool ParseDialogTemplate(const std::string& bytes, TDialogTemplate* dialog, std::string* error) {
  TReader in(bytes);
  TDialogTemplate d = {};
  int count = 0;
  d.extended = bytes.size() >= 4 && static_cast<uint8_t>(bytes[2]) == 0xFF && static_cast<uint8_t>(bytes[3]) == 0xFF;
  if (d.extended) {
    if (in.Word() != 1) {
      *error = "extended template of an unknown version";
      return false;
    }
    in.Word();   // signature
    in.Dword();  // help id
    d.exStyle = in.Dword();
    d.style = in.Dword();
  } else {
    d.style = in.Dword();
    d.exStyle = in.Dword();
  }
  count = in.Word();
  d.x = in.Short();
  d.y = in.Short();
  d.cx = in.Short();
  d.cy = in.Short();
  d.menu = in.NameOrOrdinal();
  d.className = in.NameOrOrdinal();
  d.caption = in.WideString();
  if (d.style & DS_SETFONT) {
    d.pointSize = in.Word();
    if (d.extended) {
      d.weight = in.Word();
      d.italic = in.Byte();
      d.charset = in.Byte();
    }
    d.face = in.WideString();
  }
  for (int i = 0; i < count && !in.failed(); ++i) {
    in.AlignDword();
    TDialogControl c = {};
    if (d.extended) {
      in.Dword();  // help id
      c.exStyle = in.Dword();
      c.style = in.Dword();
    } else {
      c.style = in.Dword();
      c.exStyle = in.Dword();
    }
    c.x = in.Short();
    c.y = in.Short();
    c.cx = in.Short();
    c.cy = in.Short();
    c.id = d.extended ? in.Dword() : in.Word();
    c.className = ClassName(in.NameOrOrdinal());
    c.text = in.NameOrOrdinal();
    in.Skip(in.Word());  // creation data
    d.controls.push_back(c);
  }
  if (in.failed()) {
    *error = "the template ends early";
    return false;
  }
  *dialog = d;
  return true;
}

}  // namespace twxres
