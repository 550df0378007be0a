// The setup's long texts and messages: the line ends each one is shown with (an
// edit control breaks lines only at CR LF, a message box also at a lone CR), the
// fixed length of the licence, the year placeholder, and the characters the
// ANSI dialogs can show.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Texts.h"

namespace {

enum class TLineEnds { CrLf, Cr, None };

struct TTextRow {
  const char* name;
  const char* text;
  TLineEnds ends;
};

const TTextRow kTexts[] = {
    {"licence", kLicenceText, TLineEnds::CrLf},
    {"welcome", kWelcomeTemplate, TLineEnds::CrLf},
    {"finish", kFinishText, TLineEnds::CrLf},
    {"old Windows", kMessageOldWindows, TLineEnds::CrLf},
    {"product running", kMessageProductRunning, TLineEnds::None},
    {"colour depth", kMessageLowColourDepth, TLineEnds::CrLf},
    {"extraction failed", kMessageExtractionFailed, TLineEnds::Cr},
};

std::vector<std::string> Lines(const std::string& text, const std::string& separator) {
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + separator.size()) {
    lines.push_back(text.substr(from, at - from));
  }
  lines.push_back(text.substr(from));
  return lines;
}

TEST(ScreenTexts, UseTheirLineEndsOnlyAndPlainAscii) {
  for (const TTextRow& row : kTexts) {
    SCOPED_TRACE(row.name);
    const std::string text = row.text;
    ASSERT_FALSE(text.empty());
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c == '\r' || c == '\n') {
        const bool crlf = c == '\r' ? i + 1 < text.size() && text[i + 1] == '\n' : i > 0 && text[i - 1] == '\r';
        switch (row.ends) {
          case TLineEnds::CrLf: EXPECT_TRUE(crlf) << "lone line end at " << i; break;
          case TLineEnds::Cr: EXPECT_EQ(c, '\r') << "line feed at " << i; break;
          case TLineEnds::None: ADD_FAILURE() << "line end at " << i; break;
        }
      } else {
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "character " << int(c) << " at " << i;
      }
    }
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), ' ');
  }
}

TEST(ScreenTexts, LicenceHasItsFixedLength) {
  EXPECT_EQ(std::strlen(kLicenceText), 10458u);
  const std::string text = kLicenceText;
  EXPECT_NE(text.find("Varnholt Technologies"), std::string::npos);
  EXPECT_EQ(text.compare(0, 9, "TRAWLMARK"), 0);
}

TEST(ScreenTexts, WelcomeNamesTheProductAndButtonsAndEndsWithTheYearAndAddress) {
  const std::string text = kWelcomeTemplate;
  const size_t year = text.find("YYYY");
  ASSERT_NE(year, std::string::npos);
  EXPECT_EQ(text.find("YYYY", year + 1), std::string::npos) << "only the first placeholder is replaced";
  EXPECT_NE(text.find("Trawlmark 5.3"), std::string::npos);
  // The buttons by the labels the destination dialog gives them.
  EXPECT_NE(text.find("\"Browse for folder\""), std::string::npos);
  EXPECT_NE(text.find("\"Install\""), std::string::npos);
  const std::vector<std::string> lines = Lines(text, "\r\n");
  const std::string& last = lines.back();
  EXPECT_NE(last.find("YYYY"), std::string::npos);
  EXPECT_EQ(last.substr(last.size() - std::strlen(kMakerWebSite)), kMakerWebSite);
}

TEST(ScreenTexts, FinishTextListsItsWaysToRunTheProduct) {
  const std::vector<std::string> lines = Lines(kFinishText, "\r\n");
  ASSERT_EQ(lines.size(), 8u);
  int items = 0;
  for (const std::string& line : lines) items += line.compare(0, 3, " * ") == 0;
  EXPECT_EQ(items, 4);
  EXPECT_EQ(lines[2].compare(0, 4, "   ("), 0) << "the continuation of the first item is indented";
  EXPECT_EQ(lines[6], "") << "a blank line before the last paragraph";
}

TEST(ScreenTexts, ExtractionMessageIsAListOfReasonsWithIndentedSolutions) {
  const std::string text = kMessageExtractionFailed;
  const std::vector<std::string> lines = Lines(text, "\r");
  int items = 0, solutions = 0;
  for (const std::string& line : lines) {
    if (line.compare(0, 3, " * ") == 0) ++items;
    if (line.find("Solution") != std::string::npos) {
      ++solutions;
      EXPECT_EQ(line.compare(0, 11, "   Solution"), 0) << line;
    }
  }
  EXPECT_EQ(items, 3);
  EXPECT_EQ(solutions, 4);
  // The address follows the first piece directly and the last piece follows it.
  EXPECT_NE(text.find(std::string("Web site at ") + kMakerWebSite + "\r\r * A previous copy"), std::string::npos);
  // A backslash of a path is one backslash.
  EXPECT_NE(text.find("\"C:\\VarnTech\\Trawlix\""), std::string::npos);
}

TEST(ScreenTexts, MessagesKeepTheirParagraphsAndSpacing) {
  EXPECT_EQ(Lines(kMessageOldWindows, "\r\n\r\n").size(), 2u);
  EXPECT_EQ(Lines(kMessageLowColourDepth, "\r\n\r\n").size(), 2u);
  EXPECT_NE(std::string(kMessageLowColourDepth).find("(\"true color\")"), std::string::npos);
  EXPECT_NE(std::string(kMessageProductRunning).find("etc.),  after"), std::string::npos);
}

}  // namespace
