#include "Progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define TWX_ISATTY(fd) _isatty(fd)
#define TWX_FILENO(f) _fileno(f)
#else
#include <unistd.h>
#define TWX_ISATTY(fd) isatty(fd)
#define TWX_FILENO(f) fileno(f)
#endif

namespace {

const int kBarWidth = 30;

void Draw(TProgress* p, int permille) {
  int filled = permille * kBarWidth / 1000;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarWidth - filled), ' ');
  std::fprintf(stderr, "\r%s [%s] %3d%%", p->label.c_str(), bar.c_str(), permille / 10);
  std::fflush(stderr);
}

}  // namespace

void StartProgress(TProgress* p, const std::string& label, int64_t total) {
  p->label = label;
  p->total = total > 0 ? total : 1;
  p->done = 0;
  p->shown = TWX_ISATTY(TWX_FILENO(stderr)) != 0;
  p->lastPermille = -1;
  if (p->shown) Draw(p, 0);
}

void AdvanceProgress(TProgress* p, int64_t amount) {
  int64_t done = p->done += amount;
  if (!p->shown) return;
  int permille = static_cast<int>(std::min<int64_t>(1000, done * 1000 / p->total));
  std::lock_guard<std::mutex> hold(p->drawing);
  if (permille / 5 == p->lastPermille / 5) return;  // redraw every half percent
  p->lastPermille = permille;
  Draw(p, permille);
}

void EndProgress(TProgress* p) {
  if (!p->shown) return;
  std::lock_guard<std::mutex> hold(p->drawing);
  Draw(p, 1000);
  std::fputc('\n', stderr);
}
