// The background tune as the program holds it: a well-formed Standard MIDI File
// of the size the setup writes out, whose tracks end together on a bar line (the
// player restarts it from the beginning) with no note left sounding.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "Tune.h"

namespace {

const std::string& TuneBytes() {
  static const std::string bytes(reinterpret_cast<const char*>(kTune), kTuneSize);
  return bytes;
}

uint32_t BigEndian(const std::string& s, size_t at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | static_cast<uint8_t>(s[at + i]);
  return value;
}

// One track, walked event by event.
struct TTrackSummary {
  std::string error;      // empty when the track is well formed
  uint32_t endTick = 0;   // tick of the end-of-track event
  int notes = 0;          // note-ons with a velocity
  int sounding = 0;       // notes still on at the end
  std::vector<int> channels;
};

TTrackSummary WalkTrack(const std::string& data) {
  TTrackSummary t;
  size_t at = 0;
  uint8_t status = 0;
  std::map<int, int> on;  // channel * 128 + pitch -> count
  auto varlen = [&](uint32_t* value) {
    *value = 0;
    for (int i = 0; i < 4; ++i) {
      if (at >= data.size()) return false;
      const uint8_t b = static_cast<uint8_t>(data[at++]);
      *value = *value << 7 | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  };
  uint32_t tick = 0;
  while (at < data.size()) {
    uint32_t delta, length;
    if (!varlen(&delta)) return t.error = "bad delta time", t;
    tick += delta;
    if (at >= data.size()) return t.error = "event missing", t;
    uint8_t byte = static_cast<uint8_t>(data[at]);
    if (byte == 0xFF) {
      if (at + 2 > data.size()) return t.error = "short meta event", t;
      const uint8_t kind = static_cast<uint8_t>(data[at + 1]);
      at += 2;
      if (!varlen(&length) || at + length > data.size()) return t.error = "bad meta length", t;
      at += length;
      if (kind == 0x2F) {
        if (at != data.size()) return t.error = "events after the end of the track", t;
        t.endTick = tick;
        for (const auto& n : on) t.sounding += n.second;
        return t;
      }
      continue;
    }
    if (byte == 0xF0 || byte == 0xF7) {
      ++at;
      if (!varlen(&length) || at + length > data.size()) return t.error = "bad sysex length", t;
      at += length;
      continue;
    }
    if (byte & 0x80) {
      status = byte;
      ++at;
    } else if (!status) {
      return t.error = "running status without a status", t;
    }
    const int kind = status >> 4, channel = status & 0x0F;
    const size_t size = (kind == 0xC || kind == 0xD) ? 1 : 2;
    if (at + size > data.size()) return t.error = "short channel event", t;
    const int pitch = static_cast<uint8_t>(data[at]), velocity = size == 2 ? static_cast<uint8_t>(data[at + 1]) : 0;
    if ((static_cast<uint8_t>(data[at]) | (size == 2 ? velocity : 0)) & 0x80) return t.error = "data byte above 127", t;
    at += size;
    if (t.channels.empty() || t.channels.back() != channel) t.channels.push_back(channel);
    if (kind == 0x9 && velocity > 0) {
      ++t.notes;
      ++on[channel * 128 + pitch];
    } else if (kind == 0x8 || kind == 0x9) {
      if (on[channel * 128 + pitch] == 0) return t.error = "a note ends that never started", t;
      --on[channel * 128 + pitch];
    }
  }
  t.error = "no end-of-track event";
  return t;
}

TEST(Tune, IsAFormat1FileOfFiveTracksAt480TicksAndItsFixedSize) {
  const std::string& s = TuneBytes();
  ASSERT_EQ(s.size(), 3785u);
  ASSERT_EQ(s.substr(0, 4), "MThd");
  EXPECT_EQ(BigEndian(s, 4, 4), 6u);
  EXPECT_EQ(BigEndian(s, 8, 2), 1u);    // format 1
  EXPECT_EQ(BigEndian(s, 10, 2), 5u);   // tracks
  EXPECT_EQ(BigEndian(s, 12, 2), 480u); // ticks per quarter note
}

TEST(Tune, TracksAreWellFormedEndTogetherOnABarLineAndLeaveNoNoteSounding) {
  const std::string& s = TuneBytes();
  size_t at = 14;
  std::vector<TTrackSummary> tracks;
  while (at + 8 <= s.size()) {
    ASSERT_EQ(s.substr(at, 4), "MTrk") << "at byte " << at;
    const uint32_t length = BigEndian(s, at + 4, 4);
    ASSERT_LE(at + 8 + length, s.size());
    tracks.push_back(WalkTrack(s.substr(at + 8, length)));
    at += 8 + length;
  }
  EXPECT_EQ(at, s.size()) << "bytes after the last track";
  ASSERT_EQ(tracks.size(), 5u);
  const uint32_t bar = 4 * 480;
  for (size_t i = 0; i < tracks.size(); ++i) {
    SCOPED_TRACE("track " + std::to_string(i + 1));
    EXPECT_EQ(tracks[i].error, "");
    EXPECT_EQ(tracks[i].endTick, tracks[0].endTick);
    EXPECT_EQ(tracks[i].sounding, 0);
  }
  EXPECT_GT(tracks[0].endTick, 0u);
  EXPECT_EQ(tracks[0].endTick % bar, 0u) << "the loop would restart in the middle of a bar";
  // The first track holds tempo and names only; every other one plays, and the
  // drums play on the percussion channel alone.
  EXPECT_EQ(tracks[0].notes, 0);
  for (size_t i = 1; i < tracks.size(); ++i) EXPECT_GT(tracks[i].notes, 16) << "track " << i + 1;
  EXPECT_EQ(tracks[4].channels, std::vector<int>{9});
}

TEST(Tune, IsTheFileTheGeneratorWrote) {
  std::string file;
  ASSERT_TRUE(twxtest::ReadWholeFile(std::string(TWX_RES_DIR) + "/music/Trawlix.mid", &file));
  EXPECT_TRUE(file == TuneBytes()) << "res/Tune.cpp and res/music/Trawlix.mid differ: regenerate both";
}

}  // namespace
