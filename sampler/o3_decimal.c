/* Decimal numbers as the "C" locale's strtod reads them, whatever locale the
   program has set: the nearest double, ties to even. A table must mean the
   same in a simulation that has set a locale whose decimal point is a comma
   or more than one byte.
   The tool's twin: parse_real in common/real_number.cpp. */
#include "o3_internal.h"

#include <float.h>
#include <stdint.h>

/* A natural number in base 2^32, lowest limb first. 128 limbs hold every
   value big_quotient forms: with the bounds of o3_decimal, 10^-e10 has at
   most 3734 bits, and the dividend is scaled to 63 bits more. */
#define O3_LIMBS 128

/* Significant digits kept: a midpoint between two doubles has at most 767,
   so one nonzero digit after 800 stands for any longer rest unchanged. */
#define O3_KEPT_DIGITS 800

struct o3_big {
  int n;
  uint32_t d[O3_LIMBS];
};

static void big_set(struct o3_big *b, uint32_t v) {
  b->n = v != 0 ? 1 : 0;
  b->d[0] = v;
}

/* b = b * m + a. */
static void big_mul_add(struct o3_big *b, uint32_t m, uint32_t a) {
  uint64_t carry = a;
  int i;
  for (i = 0; i < b->n; ++i) {
    const uint64_t t = (uint64_t)b->d[i] * m + carry;
    b->d[i] = (uint32_t)t;
    carry = t >> 32;
  }
  if (carry != 0 && b->n < O3_LIMBS) b->d[b->n++] = (uint32_t)carry;
}

static void big_mul_pow10(struct o3_big *b, long k) {
  static const uint32_t small[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
  for (; k >= 9; k -= 9) big_mul_add(b, 1000000000u, 0);
  if (k > 0) big_mul_add(b, small[k], 0);
}

static long big_bits(const struct o3_big *b) {
  long bits;
  uint32_t top;
  if (b->n == 0) return 0;
  top = b->d[b->n - 1];
  for (bits = 32L * (b->n - 1); top != 0; top >>= 1) ++bits;
  return bits;
}

static void big_shift_left(struct o3_big *b, long bits) {
  const int limbs = (int)(bits / 32), rest = (int)(bits % 32);
  int i;
  if (b->n == 0) return;
  if (b->n + limbs + 1 > O3_LIMBS) return; /* never: see O3_LIMBS */
  b->d[b->n + limbs] = 0;
  for (i = b->n - 1; i >= 0; --i) {
    const uint32_t v = b->d[i];
    if (rest != 0) b->d[i + limbs + 1] |= v >> (32 - rest);
    b->d[i + limbs] = v << rest;
  }
  for (i = 0; i < limbs; ++i) b->d[i] = 0;
  b->n += limbs + 1;
  while (b->n > 0 && b->d[b->n - 1] == 0) --b->n;
}

static void big_halve(struct o3_big *b) {
  int i;
  for (i = 0; i < b->n; ++i) {
    b->d[i] = (b->d[i] >> 1) | (i + 1 < b->n ? b->d[i + 1] << 31 : 0);
  }
  while (b->n > 0 && b->d[b->n - 1] == 0) --b->n;
}

static int big_compare(const struct o3_big *a, const struct o3_big *b) {
  int i;
  if (a->n != b->n) return a->n < b->n ? -1 : 1;
  for (i = a->n - 1; i >= 0; --i) {
    if (a->d[i] != b->d[i]) return a->d[i] < b->d[i] ? -1 : 1;
  }
  return 0;
}

/* a = a - b, for a >= b. */
static void big_subtract(struct o3_big *a, const struct o3_big *b) {
  uint32_t borrow = 0;
  int i;
  for (i = 0; i < a->n; ++i) {
    const uint64_t take = (uint64_t)(i < b->n ? b->d[i] : 0) + borrow;
    borrow = (uint64_t)a->d[i] < take ? 1u : 0u;
    a->d[i] = (uint32_t)((uint64_t)a->d[i] + ((uint64_t)borrow << 32) - take);
  }
  while (a->n > 0 && a->d[a->n - 1] == 0) --a->n;
}

/* q * 2^e2, q >= 2^62, the exact value a little above when sticky: the
   nearest double, ties to even; HUGE_VAL above the largest. */
static double rounded(uint64_t q, long e2, int sticky) {
  long top = 63, lead, ulp, drop;
  uint64_t mant, rest, half;
  while ((q >> top) == 0) --top;
  lead = top + e2;
  if (lead > 1023) return HUGE_VAL;
  ulp = lead - 52 < -1074 ? -1074 : lead - 52;
  drop = ulp - e2; /* at least 10: q has 63 bits or more */
  if (drop > 64) return 0.0;
  if (drop == 64) {
    mant = 0;
    rest = q;
  } else {
    mant = q >> drop;
    rest = q & (((uint64_t)1 << drop) - 1);
  }
  half = (uint64_t)1 << (drop - 1);
  if (rest > half || (rest == half && (sticky || (mant & 1) != 0))) ++mant;
  return ldexp((double)mant, (int)ulp);
}

/* digits (no leading zero) * 10^e10 for at most 19 digits and
   -19 <= e10 <= 0: the quotient by a power of ten in 64 bits, its bits
   beyond the integer part one at a time. */
static double small_quotient(const char *digits, int count, long e10) {
  uint64_t n = 0, p = 1, q, r;
  long e2 = 0;
  int i;
  for (i = 0; i < count; ++i) n = n * 10 + (uint64_t)(digits[i] - '0');
  for (i = 0; i < -e10; ++i) p *= 10;
#if FLT_EVAL_METHOD == 0
  /* both exact in a double, and one division rounds once */
  if (n < ((uint64_t)1 << 53)) return (double)n / (double)p;
#endif
  q = n / p;
  r = n % p;
  while ((q >> 63) == 0) {
    /* 2r may pass 2^64; r - p then wraps to 2r - p all the same */
    const uint64_t carry = r >> 63;
    uint64_t take;
    r <<= 1;
    take = (uint64_t)0 - (carry | (uint64_t)(r >= p)); /* all ones or none */
    r -= p & take;
    q = (q << 1) | (take & 1);
    --e2;
  }
  return rounded(q, e2, r != 0);
}

/* The same by long division of big numbers, for every other case. */
static double big_quotient(const char *digits, int count, long e10) {
  struct o3_big n, d;
  long shift, e2;
  uint64_t q = 0;
  int i;
  big_set(&n, 0);
  for (i = 0; i < count; ++i) big_mul_add(&n, 10, (uint32_t)(digits[i] - '0'));
  big_set(&d, 1);
  big_mul_pow10(e10 >= 0 ? &n : &d, e10 >= 0 ? e10 : -e10);
  /* n / d in [2^63, 2^64) after the shift; then d scaled to its top bit */
  shift = big_bits(&d) + 63 - big_bits(&n);
  big_shift_left(shift > 0 ? &n : &d, shift > 0 ? shift : -shift);
  e2 = -shift;
  big_shift_left(&d, 63);
  for (i = 63; i >= 0; --i) {
    if (big_compare(&n, &d) >= 0) {
      big_subtract(&n, &d);
      q |= (uint64_t)1 << i;
    }
    big_halve(&d);
  }
  return rounded(q, e2, n.n != 0);
}

double o3_decimal(const char *s, size_t length) {
  char digits[O3_KEPT_DIGITS + 1];
  int count = 0, point = 0, negative = 0, dropped = 0;
  long e10 = 0, exponent = 0;
  size_t i = 0;
  double v;
  if (i < length && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  for (; i < length; ++i) {
    const char c = s[i];
    if (c == '.' && !point) {
      point = 1;
      continue;
    }
    if (c < '0' || c > '9') break;
    if (point) --e10;
    if (count == 0 && c == '0') continue;
    if (count < O3_KEPT_DIGITS) {
      digits[count++] = c;
    } else {
      ++e10;
      dropped |= c != '0';
    }
  }
  if (dropped) {
    digits[count++] = '1';
    --e10;
  }
  if (i + 1 < length && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    const int minus = s[j] == '-';
    if (s[j] == '-' || s[j] == '+') ++j;
    for (; j < length && s[j] >= '0' && s[j] <= '9'; ++j) {
      if (exponent < 100000) exponent = exponent * 10 + (s[j] - '0');
    }
    e10 += minus ? -exponent : exponent;
  }
  /* The value lies in [10^(count - 1 + e10), 10^(count + e10)): below
     10^-324 it is nearer 0 than the least double, from 10^309 on above the
     largest. Between, count <= 801 and -e10 <= 1124. */
  if (count == 0 || count + e10 < -323) {
    v = 0.0;
  } else if (count - 1 + e10 > 308) {
    v = HUGE_VAL;
  } else if (count <= 19 && e10 <= 0 && e10 >= -19) {
    v = small_quotient(digits, count, e10);
  } else {
    v = big_quotient(digits, count, e10);
  }
  return negative ? -v : v;
}
