// The background tune as the program holds it, read by a MIDI reader that is
// not ours (midicsv): a format 1 file of the size the setup writes out, whose
// tracks end together on a bar line (the player restarts it from the beginning)
// with no note left sounding.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "Tune.h"

namespace {

const std::string& TuneBytes() {
  static const std::string bytes(reinterpret_cast<const char*>(kTune), kTuneSize);
  return bytes;
}

TEST(Tune, HasItsFixedSizeAndIsTheFileTheGeneratorWrote) {
  EXPECT_EQ(TuneBytes().size(), 3785u);
  std::string file;
  ASSERT_TRUE(twxtest::ReadWholeFile(std::string(TWX_RES_DIR) + "/music/Trawlix.mid", &file));
  EXPECT_TRUE(file == TuneBytes()) << "res/Tune.cpp and res/music/Trawlix.mid differ: regenerate both";
}

// What midicsv makes of one track.
struct TTrack {
  long endTick = -1;
  int notes = 0;
  std::map<int, int> sounding;  // channel * 128 + pitch -> notes on
  std::set<int> channels;
};

TEST(Tune, MidicsvReadsFiveTracksThatEndTogetherOnABarLineWithNoNoteSounding) {
  twxtest::TempFolder temp;
  const std::string path = temp.Path() + "/tune.mid";
  ASSERT_TRUE(twxtest::WriteWholeFile(path, TuneBytes()));
  FILE* pipe = popen(("midicsv '" + path + "' 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string csv;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) csv.append(buffer, n);
  ASSERT_EQ(pclose(pipe), 0) << csv.substr(0, 2000);

  std::istringstream lines(csv);
  std::string line, first, last;
  std::map<int, TTrack> tracks;
  int tempos = 0;
  while (std::getline(lines, line)) {
    if (first.empty()) first = line;
    last = line;
    int track = 0, channel = 0, pitch = 0, velocity = 0;
    long tick = 0;
    char kind[32] = "";
    if (std::sscanf(line.c_str(), "%d, %ld, %31[A-Za-z_], %d, %d, %d", &track, &tick, kind, &channel, &pitch,
                    &velocity) < 3)
      continue;
    const std::string event = kind;
    TTrack& t = tracks[track];
    if (event == "End_track") t.endTick = tick;
    if (event == "Tempo") ++tempos;
    if (event == "Note_on_c" && velocity > 0) {
      ++t.notes;
      ++t.sounding[channel * 128 + pitch];
    } else if (event == "Note_on_c" || event == "Note_off_c") {
      EXPECT_GT(t.sounding[channel * 128 + pitch]--, 0) << "a note ends that never started: " << line;
    }
    if (event.size() > 2 && event.compare(event.size() - 2, 2, "_c") == 0) t.channels.insert(channel);
  }
  EXPECT_EQ(first, "0, 0, Header, 1, 5, 480");  // format 1, five tracks, 480 ticks a quarter note
  EXPECT_EQ(last, "0, 0, End_of_file");
  EXPECT_EQ(tempos, 1);
  tracks.erase(0);
  ASSERT_EQ(tracks.size(), 5u);

  const long bar = 4 * 480;
  for (const auto& entry : tracks) {
    SCOPED_TRACE("track " + std::to_string(entry.first));
    const TTrack& t = entry.second;
    EXPECT_EQ(t.endTick, tracks[1].endTick);
    for (const auto& note : t.sounding) EXPECT_EQ(note.second, 0) << "note " << note.first % 128 << " left sounding";
  }
  EXPECT_GT(tracks[1].endTick, 0);
  EXPECT_EQ(tracks[1].endTick % bar, 0) << "the loop would restart in the middle of a bar";
  // The first track holds tempo and names only; every other one plays, and the
  // drums play on the percussion channel alone.
  EXPECT_EQ(tracks[1].notes, 0);
  for (int i = 2; i <= 5; ++i) EXPECT_GT(tracks[i].notes, 16) << "track " << i;
  EXPECT_EQ(tracks[5].channels, std::set<int>{9});
}

}  // namespace
