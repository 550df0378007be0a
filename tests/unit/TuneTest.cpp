// The background tune as the program holds it, read by a MIDI reader that is
// not ours (midicsv). The player restarts it from the beginning, so its tracks
// must end together on a bar line with no note left sounding.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "Tune.h"

namespace {

struct TTrack {
  long endTick = -1;
  int notes = 0;
  std::map<int, int> sounding;  // channel * 128 + pitch -> notes on
};

TEST(Tune, IsTheGeneratedFileAndLoopsCleanlyOnABarLine) {
  const std::string tune(reinterpret_cast<const char*>(kTune), kTuneSize);
  std::string file;
  ASSERT_TRUE(twxtest::ReadWholeFile(std::string(TWX_RES_DIR) + "/music/Trawlix.mid", &file));
  EXPECT_TRUE(file == tune) << "res/Tune.cpp and res/music/Trawlix.mid differ: regenerate both";

  twxtest::TempFolder temp;
  ASSERT_TRUE(twxtest::WriteWholeFile(temp.Path() + "/tune.mid", tune));
  FILE* pipe = popen(("midicsv '" + temp.Path() + "/tune.mid' 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string csv;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) csv.append(buffer, n);
  ASSERT_EQ(pclose(pipe), 0) << csv.substr(0, 2000);

  std::istringstream lines(csv);
  std::string line;
  std::map<int, TTrack> tracks;
  int format = -1, division = 0;
  while (std::getline(lines, line)) {
    int track = 0, channel = 0, pitch = 0, velocity = 0;
    long tick = 0;
    char kind[32] = "";
    if (std::sscanf(line.c_str(), "%d, %ld, %31[A-Za-z_], %d, %d, %d", &track, &tick, kind, &channel, &pitch,
                    &velocity) < 3)
      continue;
    const std::string event = kind;
    if (event == "Header") format = channel, division = velocity;
    TTrack& t = tracks[track];
    if (event == "End_track") t.endTick = tick;
    if (event == "Note_on_c" && velocity > 0) {
      ++t.notes;
      ++t.sounding[channel * 128 + pitch];
    } else if (event == "Note_on_c" || event == "Note_off_c") {
      EXPECT_GT(t.sounding[channel * 128 + pitch]--, 0) << "a note ends that never started: " << line;
    }
  }
  tracks.erase(0);  // the file header
  EXPECT_EQ(format, 1);
  ASSERT_EQ(tracks.size(), 5u);
  ASSERT_GT(division, 0);
  const long end = tracks[1].endTick;
  EXPECT_GT(end, 0);
  EXPECT_EQ(end % (4 * division), 0) << "the loop would restart in the middle of a bar";
  for (auto& entry : tracks) {
    SCOPED_TRACE("track " + std::to_string(entry.first));
    EXPECT_EQ(entry.second.endTick, end);
    for (const auto& note : entry.second.sounding) EXPECT_EQ(note.second, 0) << "note " << note.first % 128;
    if (entry.first > 1) {  // the first track holds tempo and names only
      EXPECT_GT(entry.second.notes, 16);
    }
  }
}

}  // namespace
