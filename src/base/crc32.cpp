// The CRC-32 of the save files (IEEE 802.3, reflected, as zlib computes it).
// A save file of a large model runs to gigabytes, so the sum is folded 64
// bytes at a time with carry-less multiplication where the processor has it,
// and eight bytes at a time through tables where it has not.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/savefile.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

// table[k][b]: the register after byte b followed by k zero bytes.
struct SliceTables {
  uint32_t table[8][256];
  SliceTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? kPolynomial ^ (c >> 1) : c >> 1;
      table[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < 8; ++k) table[k][i] = (table[k - 1][i] >> 8) ^ table[0][table[k - 1][i] & 0xFF];
  }
};

const SliceTables& Tables() {
  static const SliceTables tables;
  return tables;
}

// Works on the register (the sum inverted).
uint32_t SliceBy8(uint32_t reg, const unsigned char* p, size_t count) {
  const auto& t = Tables().table;
  while (count >= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 4);
    lo ^= reg;
    reg = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][hi & 0xFF] ^
          t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    p += 8;
    count -= 8;
  }
  while (count-- > 0) reg = t[0][(reg ^ *p++) & 0xFF] ^ (reg >> 8);
  return reg;
}

#if defined(__x86_64__)
// The carry-less multiply kernels, built for processors that have it.
#define TERRAX_CLMUL __attribute__((target("pclmul,sse4.1")))

TERRAX_CLMUL inline __m128i Load(const unsigned char* q) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// The lane times the two constants, added to the next 128 bits.
TERRAX_CLMUL inline __m128i FoldLane(__m128i x, __m128i k, __m128i next) {
  const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// Folds 64-byte blocks into four 128-bit lanes, the lanes into one, and
// reduces that to the 32-bit register (Barrett reduction). The constants are
// powers of x modulo the reflected polynomial: x^(4*128+32) and x^(4*128-32)
// for the 512-bit fold, x^(128+32) and x^(128-32) for the 128-bit fold,
// x^64 for the last 64 bits, then the polynomial and its Barrett quotient.
// Takes a multiple of 16 bytes, at least 64.
TERRAX_CLMUL uint32_t Fold(uint32_t reg, const unsigned char* p, size_t count) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);

  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
  p += 64;
  count -= 64;
  while (count >= 64) {
    x1 = FoldLane(x1, k1k2, Load(p));
    x2 = FoldLane(x2, k1k2, Load(p + 16));
    x3 = FoldLane(x3, k1k2, Load(p + 32));
    x4 = FoldLane(x4, k1k2, Load(p + 48));
    p += 64;
    count -= 64;
  }
  x1 = FoldLane(x1, k3k4, x2);
  x1 = FoldLane(x1, k3k4, x3);
  x1 = FoldLane(x1, k3k4, x4);
  while (count >= 16) {
    x1 = FoldLane(x1, k3k4, Load(p));
    p += 16;
    count -= 16;
  }
  // 128 bits to 64.
  __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x = _mm_xor_si128(_mm_srli_si128(x, 4), _mm_clmulepi64_si128(_mm_and_si128(x, low32), k5, 0x00));
  // Barrett reduction to 32 bits.
  __m128i q = _mm_clmulepi64_si128(_mm_and_si128(x, low32), poly, 0x10);
  q = _mm_clmulepi64_si128(_mm_and_si128(q, low32), poly, 0x00);
  return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, q), 1));
}

bool HasCarryLessMultiply() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}
#endif

}  // namespace

uint32_t Crc32(const void* data, size_t count, uint32_t crc) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  uint32_t reg = ~crc;
#if defined(__x86_64__)
  if (count >= 64 && HasCarryLessMultiply()) {
    const size_t folded = count & ~size_t{15};
    reg = Fold(reg, p, folded);
    p += folded;
    count -= folded;
  }
#endif
  return ~SliceBy8(reg, p, count);
}
