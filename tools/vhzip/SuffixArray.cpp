#include "SuffixArray.h"

#include <algorithm>

#ifdef TWX_HAVE_DIVSUFSORT
#include <divsufsort.h>
#endif

namespace {

// Induced sorting over an integer string whose last symbol is a unique
// smallest sentinel 0. sa must hold n entries.
void Buckets(const int32_t* s, int32_t n, int32_t k, std::vector<int32_t>* bkt, bool ends) {
  std::fill(bkt->begin(), bkt->end(), 0);
  for (int32_t i = 0; i < n; ++i) ++(*bkt)[s[i]];
  int32_t sum = 0;
  for (int32_t c = 0; c <= k; ++c) {
    sum += (*bkt)[c];
    (*bkt)[c] = ends ? sum : sum - (*bkt)[c];
  }
}

void InduceL(const std::vector<bool>& t, int32_t* sa, const int32_t* s, int32_t n, int32_t k,
             std::vector<int32_t>* bkt) {
  Buckets(s, n, k, bkt, false);
  for (int32_t i = 0; i < n; ++i) {
    int32_t j = sa[i] - 1;
    if (sa[i] > 0 && !t[j]) sa[(*bkt)[s[j]]++] = j;
  }
}

void InduceS(const std::vector<bool>& t, int32_t* sa, const int32_t* s, int32_t n, int32_t k,
             std::vector<int32_t>* bkt) {
  Buckets(s, n, k, bkt, true);
  for (int32_t i = n - 1; i >= 0; --i) {
    int32_t j = sa[i] - 1;
    if (sa[i] > 0 && t[j]) sa[--(*bkt)[s[j]]] = j;
  }
}

void Sais(const int32_t* s, int32_t* sa, int32_t n, int32_t k) {
  std::vector<bool> t(static_cast<size_t>(n));  // true: S-type
  t[n - 1] = true;
  for (int32_t i = n - 2; i >= 0; --i) t[i] = s[i] < s[i + 1] || (s[i] == s[i + 1] && t[i + 1]);
  auto isLms = [&t](int32_t i) { return i > 0 && t[i] && !t[i - 1]; };
  std::vector<int32_t> bkt(static_cast<size_t>(k) + 1);

  // Sort the LMS substrings.
  Buckets(s, n, k, &bkt, true);
  std::fill(sa, sa + n, -1);
  for (int32_t i = 1; i < n; ++i)
    if (isLms(i)) sa[--bkt[s[i]]] = i;
  InduceL(t, sa, s, n, k, &bkt);
  InduceS(t, sa, s, n, k, &bkt);

  // Name them; equal substrings get equal names.
  int32_t n1 = 0;
  for (int32_t i = 0; i < n; ++i)
    if (isLms(sa[i])) sa[n1++] = sa[i];
  std::fill(sa + n1, sa + n, -1);
  int32_t name = 0;
  int32_t prev = -1;
  for (int32_t i = 0; i < n1; ++i) {
    int32_t pos = sa[i];
    bool differs = false;
    for (int32_t d = 0; d < n; ++d) {
      if (prev == -1 || s[pos + d] != s[prev + d] || t[pos + d] != t[prev + d]) {
        differs = true;
        break;
      }
      if (d > 0 && (isLms(pos + d) || isLms(prev + d))) break;
    }
    if (differs) {
      ++name;
      prev = pos;
    }
    sa[n1 + pos / 2] = name - 1;
  }
  for (int32_t i = n - 1, j = n - 1; i >= n1; --i)
    if (sa[i] >= 0) sa[j--] = sa[i];

  // Order the LMS suffixes, recursing while names repeat.
  int32_t* s1 = sa + n - n1;
  if (name < n1) {
    Sais(s1, sa, n1, name - 1);
  } else {
    for (int32_t i = 0; i < n1; ++i) sa[s1[i]] = i;
  }
  for (int32_t i = 1, j = 0; i < n; ++i)
    if (isLms(i)) s1[j++] = i;
  for (int32_t i = 0; i < n1; ++i) sa[i] = s1[sa[i]];
  std::fill(sa + n1, sa + n, -1);
  Buckets(s, n, k, &bkt, true);
  for (int32_t i = n1 - 1; i >= 0; --i) {
    int32_t j = sa[i];
    sa[i] = -1;
    sa[--bkt[s[j]]] = j;
  }
  InduceL(t, sa, s, n, k, &bkt);
  InduceS(t, sa, s, n, k, &bkt);
}

}  // namespace

std::vector<int32_t> BuildSuffixArrayInduced(const uint8_t* text, int32_t length) {
  if (length <= 0) return {};
  // Bytes become 1..256 so that 0 can end the string as its unique sentinel.
  std::vector<int32_t> s(static_cast<size_t>(length) + 1);
  for (int32_t i = 0; i < length; ++i) s[i] = text[i] + 1;
  s[length] = 0;
  std::vector<int32_t> sa(static_cast<size_t>(length) + 1);
  Sais(s.data(), sa.data(), length + 1, 256);
  sa.erase(sa.begin());  // the sentinel's suffix sorts first
  return sa;
}

std::vector<int32_t> BuildSuffixArray(const uint8_t* text, int32_t length) {
#ifdef TWX_HAVE_DIVSUFSORT
  if (length <= 0) return {};
  std::vector<int32_t> sa(static_cast<size_t>(length));
  if (divsufsort(text, reinterpret_cast<saidx_t*>(sa.data()), length) == 0) return sa;
#endif
  return BuildSuffixArrayInduced(text, length);
}
