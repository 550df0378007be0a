#include "Deflate.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

#ifdef TWX_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif
#ifdef TWX_HAVE_ZOPFLI
#include <zopfli/zopfli.h>
#endif

namespace {

std::vector<uint8_t> WithZlib(const uint8_t* data, size_t size, int level) {
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  std::vector<uint8_t> out;
  if (deflateInit2(&stream, level, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return out;
  out.resize(deflateBound(&stream, static_cast<uLong>(size)));
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(size);
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  int status = deflate(&stream, Z_FINISH);
  out.resize(status == Z_STREAM_END ? stream.total_out : 0);
  deflateEnd(&stream);
  return out;
}

#ifdef TWX_HAVE_LIBDEFLATE
// A compressor holds large tables; archives of many small files would spend
// more time setting them up than compressing, so each thread keeps one.
struct TCompressorCache {
  libdeflate_compressor* compressor = nullptr;
  int level = -1;
  ~TCompressorCache() {
    if (compressor) libdeflate_free_compressor(compressor);
  }
};

std::vector<uint8_t> WithLibdeflate(const uint8_t* data, size_t size, int level, bool keepTables) {
  thread_local TCompressorCache cache;
  if (cache.level != level) {
    if (cache.compressor) libdeflate_free_compressor(cache.compressor);
    cache.compressor = libdeflate_alloc_compressor(level);
    cache.level = cache.compressor ? level : -1;
  }
  std::vector<uint8_t> out;
  if (cache.compressor == nullptr) return out;
  out.resize(libdeflate_zlib_compress_bound(cache.compressor, size));
  out.resize(libdeflate_zlib_compress(cache.compressor, data, size, out.data(), out.size()));
  if (!keepTables) {
    libdeflate_free_compressor(cache.compressor);
    cache.compressor = nullptr;
    cache.level = -1;
  }
  return out;
}
#endif

#ifdef TWX_HAVE_ZOPFLI
void KeepSmaller(std::vector<uint8_t>* best, std::vector<uint8_t> candidate) {
  if (!candidate.empty() && (best->empty() || candidate.size() < best->size())) *best = std::move(candidate);
}

std::vector<uint8_t> WithZopfli(const uint8_t* data, size_t size) {
  ZopfliOptions options;
  ZopfliInitOptions(&options);
  // More iterations buy little beyond this on executables and cost linearly.
  options.numiterations = 15;
  // Command streams change character often (copies among literals, tables
  // among code): every split point found pays for its new code tables.
  options.blocksplittingmax = 0;
  unsigned char* packed = nullptr;
  size_t packedSize = 0;
  ZopfliCompress(&options, ZOPFLI_FORMAT_ZLIB, data, size, &packed, &packedSize);
  std::vector<uint8_t> out(packed, packed + packedSize);
  free(packed);
  return out;
}
#endif


}  // namespace

std::vector<uint8_t> DeflateZlib(const uint8_t* data, size_t size, int level) {
  if (level <= 0) return WithZlib(data, size, 0);
  if (level > kDeflateLevelMax) level = kDeflateLevelMax;
#ifdef TWX_HAVE_LIBDEFLATE
  // Zopfli's tables come on top of these: they are let go first.
  std::vector<uint8_t> best = WithLibdeflate(data, size, std::min(level, 12), level < kDeflateLevelMax);
#else
  std::vector<uint8_t> best = WithZlib(data, size, std::min(level, 9));
#endif
#ifdef TWX_HAVE_ZOPFLI
  if (level == kDeflateLevelMax) KeepSmaller(&best, WithZopfli(data, size));
#endif
  return best;
}
