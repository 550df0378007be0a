// The program's tune read by a MIDI reader that is not ours (midicsv): what it
// makes of the bytes must agree with what the setup means them to be.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "Tune.h"

namespace {

TEST(TuneReader, MidicsvReadsFiveTracksOfNotesToTheEndOfTheFile) {
  twxtest::TempFolder temp;
  const std::string path = temp.Path() + "/tune.mid";
  ASSERT_TRUE(twxtest::WriteWholeFile(path, std::string(reinterpret_cast<const char*>(kTune), kTuneSize)));
  FILE* pipe = popen(("midicsv '" + path + "' 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string csv;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) csv.append(buffer, n);
  ASSERT_EQ(pclose(pipe), 0) << csv.substr(0, 2000);

  std::istringstream lines(csv);
  std::string line, first, last;
  int starts = 0, ends = 0, notes = 0, tempos = 0;
  while (std::getline(lines, line)) {
    if (first.empty()) first = line;
    last = line;
    starts += line.find(", Start_track") != std::string::npos;
    ends += line.find(", End_track") != std::string::npos;
    notes += line.find(", Note_on_c, ") != std::string::npos;
    tempos += line.find(", Tempo, ") != std::string::npos;
  }
  EXPECT_EQ(first, "0, 0, Header, 1, 5, 480");
  EXPECT_EQ(last, "0, 0, End_of_file");
  EXPECT_EQ(starts, 5);
  EXPECT_EQ(ends, 5);
  EXPECT_EQ(tempos, 1);
  EXPECT_GT(notes, 500);
}

}  // namespace
