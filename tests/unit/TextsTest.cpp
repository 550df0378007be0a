// The setup's long texts: an edit control breaks lines only at CR LF (a lone
// CR or LF shows as a box), a message box also at a lone CR; the ANSI dialogs
// show plain ASCII only; the year is stamped into the first placeholder alone.
#include <gtest/gtest.h>

#include <string>

#include "Texts.h"

namespace {

TEST(ScreenTexts, UseTheLineEndsOfTheirControlAndPlainAscii) {
  enum TEnds { kCrLf, kCr, kNone };
  const struct {
    const char* name;
    const char* text;
    TEnds ends;
  } kRows[] = {
      {"licence", kLicenceText, kCrLf},        {"welcome", kWelcomeTemplate, kCrLf},
      {"finish", kFinishText, kCrLf},          {"old Windows", kMessageOldWindows, kCrLf},
      {"running", kMessageProductRunning, kNone}, {"colour depth", kMessageLowColourDepth, kCrLf},
      {"extraction failed", kMessageExtractionFailed, kCr},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const std::string text = row.text;
    ASSERT_FALSE(text.empty());
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c != '\r' && c != '\n') {
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "character " << int(c) << " at " << i;
        continue;
      }
      const bool inCrLf = c == '\r' ? i + 1 < text.size() && text[i + 1] == '\n' : i > 0 && text[i - 1] == '\r';
      EXPECT_TRUE(row.ends == kCrLf ? inCrLf : row.ends == kCr && c == '\r') << "line end " << int(c) << " at " << i;
    }
  }
}

TEST(ScreenTexts, TheWelcomeHoldsOneYearPlaceholderAndPathsKeepTheirBackslash) {
  const std::string welcome = kWelcomeTemplate;
  const size_t year = welcome.find("YYYY");
  ASSERT_NE(year, std::string::npos);
  EXPECT_EQ(welcome.find("YYYY", year + 1), std::string::npos) << "a second placeholder would stay unstamped";
  EXPECT_NE(std::string(kMessageExtractionFailed).find("\"C:\\VarnTech\\Trawlix\""), std::string::npos);
}

}  // namespace
