// STL reading with winding repair, and the facet list. Compiled twice: with
// MESHPIX_STL_ATTRIBUTE (the attribute word is handed out and kept) and without.
#include "mesh/stl.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/bytes.h"
#include "common/numbers.h"
#include "common/program.h"
#include "mesh/colour.h"
#include "mesh/facetcross.h"

namespace {

// Binary STL as read (little-endian):
//   offset  size  field
//   0       80    header, ignored
//   80      4     facet count, unsigned
//   84+50i  12    stored normal nx, ny, nz (floats)
//   96+50i  36    vertices 1, 2, 3: x, y, z floats each
//   132+50i 2     attribute word
constexpr int kHeaderSize = 80;
constexpr int kCountEnd = 84;  // the header and the count
constexpr size_t kFacetSize = 50;
constexpr size_t kAttributeOffset = 48;
constexpr int kLongestToken = 79;  // an ASCII token, without its NUL
constexpr int kMaxSkip = 75;       // blanks skipped before "solid" in an 80-byte header
constexpr int kEndOfFile = -1;

// Set by StartSTLProgram for the readers the program sets up.
bool keepVertexOrder = false;

inline int NextByte(FILE* stream) {
#if defined(__unix__) || defined(__APPLE__)
  return getc_unlocked(stream);
#else
  return std::getc(stream);
#endif
}

inline bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline int Lower(int c) { return c >= 'A' && c <= 'Z' ? c | 0x20 : c; }

// The next character: first the unread bytes of head, then the stream.
int fGetC(STLReader* r) {
  if (r->position < r->filled) {
    r->current = r->head[r->position++];
  } else {
    r->current = NextByte(r->stream);
  }
  return r->current;
}

// Up to n bytes for the binary reader: first the unread bytes of head, then the stream.
size_t TakeBytes(STLReader* r, unsigned char* to, size_t n) {
  size_t got = 0;
  if (r->position < r->filled) {
    got = std::min(n, static_cast<size_t>(r->filled - r->position));
    std::memcpy(to, r->head + r->position, got);
    r->position += static_cast<int>(got);
  }
  if (got < n) got += std::fread(to + got, 1, n - got, r->stream);
  return got;
}

// Reads the next token, lower-cased and NUL-terminated. 0 at the end of the file or
// for a token that does not end within 79 characters. The character that ended the
// token is consumed and left in r->current.
int GetStr(STLReader* r) {
  int c;
  do {
    c = fGetC(r);
  } while (IsBlank(c));
  if (c == kEndOfFile) return 0;
  int n = 0;
  while (c != kEndOfFile && !IsBlank(c)) {
    if (n == kLongestToken) return 0;
    r->token[n++] = static_cast<char>(Lower(c));
    c = fGetC(r);
  }
  r->token[n] = '\0';
  return 1;
}

bool Keyword(STLReader* r, const char* word) {
  return GetStr(r) == 1 && std::strcmp(r->token, word) == 0;
}

bool Number(STLReader* r, float* value) {
  if (GetStr(r) != 1) return false;
  *value = static_cast<float>(ParseRealText(r->token));
  return true;
}

// Reads up to the line feed that ends the current line (or the end of the file); true
// when a line feed ended it.
bool SkipLine(STLReader* r) {
  while (r->current != '\n' && r->current != kEndOfFile) fGetC(r);
  return r->current == '\n';
}

// After an "endsolid" line: true when a "solid" line follows (after blanks), which is
// skipped: the next body's facets follow. False at the end of the file or before
// anything else, which ends the model unread, as text after the last "endsolid" always
// did. A first character that cannot begin "solid" is given back, so that a program
// reading on in the same stream (meshturn's rotation lines) gets it.
bool NextSolid(STLReader* r) {
  int c;
  bool fromHead;
  do {
    fromHead = r->position < r->filled;
    c = fGetC(r);
  } while (IsBlank(c));
  if (c == kEndOfFile) return false;
  if (fromHead) {
    --r->position;
  } else {
    std::ungetc(c, r->stream);
  }
  if (Lower(c) != 's') return false;
  if (GetStr(r) != 1 || std::strcmp(r->token, "solid") != 0) return false;
  SkipLine(r);
  return true;
}

// ASCII facet: "facet normal n n n outer loop vertex x y z (x3) endloop endfacet".
// Returns 1 with the stored normal in n[], 0 at the last "endsolid" or at the end of
// the file where the next facet would begin, -1 on any error.
int ScanAscii(STLReader* r, float n[3], float* v[9]) {
  for (;;) {
    if (GetStr(r) != 1) {
      // Only blanks up to the end of the file: the model stops cleanly after its last
      // facet, just without "endsolid". Anything else (an over-long token) is an error.
      if (r->current != kEndOfFile) return -1;
      r->noEndsolid = true;
      return 0;
    }
    if (std::strcmp(r->token, "endsolid") != 0) break;
    // The rest of the "endsolid" line (the solid's name) is skipped; a further solid
    // goes on with its facets.
    SkipLine(r);
    if (!NextSolid(r)) return 0;
  }
  if (std::strcmp(r->token, "facet") != 0 || !Keyword(r, "normal")) return -1;
  for (int i = 0; i < 3; ++i) {
    if (!Number(r, &n[i])) return -1;
  }
  if (!Keyword(r, "outer") || !Keyword(r, "loop")) return -1;
  for (int k = 0; k < 3; ++k) {
    if (!Keyword(r, "vertex")) return -1;
    for (int i = 0; i < 3; ++i) {
      if (!Number(r, v[3 * k + i])) return -1;
    }
  }
  if (!Keyword(r, "endloop") || !Keyword(r, "endfacet")) return -1;
  return 1;
}

// The attribute word as handed out: in the other colour form it becomes a colour word.
inline int16_t DeliveredWord(const STLReader* r, uint16_t word) {
  return static_cast<int16_t>(r->objectForm ? FromObjectForm(word, r->objectColour) : word);
}

// Makes the vertex order agree with the stored normal: vertices 2 and 3 are swapped
// only when the stored normal clearly points against the computed unit normal, their
// cosine (the dot product over the stored normal's length) being below -0.1. A stored
// normal nearly in the facet's plane (an exporter's rounding noise, a sliver) keeps the
// order, and so does a zero or not-a-number cosine (zero normal, degenerate facet).
constexpr long double kAgainst = -0.1L;

// The rule in extended precision, with c the facet's CalcNormal.
bool TurnsAgainst(const float n[3], const double c[3]) {
  long double dot = static_cast<long double>(n[0]) * c[0] + static_cast<long double>(n[1]) * c[1] +
                    static_cast<long double>(n[2]) * c[2];
  // Squares of floats neither overflow nor underflow in long double.
  long double length =
      std::sqrt(static_cast<long double>(n[0]) * n[0] + static_cast<long double>(n[1]) * n[1] +
                static_cast<long double>(n[2]) * n[2]);
  return dot / length < kAgainst;
}

bool TurnsAgainst(const float n[3], const float v[9]) {
  double c[3];
  CalcNormal(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], &c[0], &c[1], &c[2]);
  return TurnsAgainst(n, c);
}

// The same decision in double arithmetic, which is several times cheaper: 1 turn, 0
// keep, -1 when the double arithmetic cannot tell and the extended rule must decide.
//
// With u = 2^-53 and P the vector of |p1| + |p2| over each component's two products,
// the double cross product cd is within 4.01 u |P| of the extended one (both are within
// 4 u' |P| of the exact cross product, u' the unit roundoff of each), so the cosines
// taken from them differ by at most 2 (4.01 u |P|) / |cd|; the rounding of the unit
// normal and of the dot products adds less than 15 u. For |P| <= 2^20 |cd| that is less
// than 1e-9; a cosine more than kMargin = 2e-8 away from -0.1 is then on the same side
// in both. Every other case, a not-a-number, an infinity, a zero normal, a degenerate
// facet or a sliver, is left to the extended rule. With finite floats, no intermediate
// value below overflows, and none that is not 0 falls below 2^-894: all stay normal.
constexpr double kSliver = 1099511627776.0;  // 2^40: |P|^2 against |cd|^2
constexpr double kMargin = 2e-8;
constexpr double kTurnAbove = (0.1 + kMargin) * (0.1 + kMargin);
constexpr double kKeepBelow = (0.1 - kMargin) * (0.1 - kMargin);
constexpr double kFinite = 1e300;

// The cross product of a facet's edges in doubles, with P, the sums |p1| + |p2| of
// each component's two products, that bound its error.
struct DoubleCross {
  double c[3], p[3];
  double cc, pp;  // |c|^2, |P|^2
  bool usable;    // finite, not degenerate, not a sliver: |P| <= 2^20 |c|
};

inline DoubleCross CrossOf(const float v[9]) {
  const double ux = double{v[3]} - v[0], uy = double{v[4]} - v[1], uz = double{v[5]} - v[2];
  const double vx = double{v[6]} - v[0], vy = double{v[7]} - v[1], vz = double{v[8]} - v[2];
  const double px1 = uy * vz, px2 = uz * vy;
  const double py1 = uz * vx, py2 = ux * vz;
  const double pz1 = ux * vy, pz2 = uy * vx;
  DoubleCross d;
  d.c[0] = px1 - px2;
  d.c[1] = py1 - py2;
  d.c[2] = pz1 - pz2;
  d.p[0] = std::fabs(px1) + std::fabs(px2);
  d.p[1] = std::fabs(py1) + std::fabs(py2);
  d.p[2] = std::fabs(pz1) + std::fabs(pz2);
  d.cc = d.c[0] * d.c[0] + d.c[1] * d.c[1] + d.c[2] * d.c[2];
  d.pp = d.p[0] * d.p[0] + d.p[1] * d.p[1] + d.p[2] * d.p[2];
  // Written so that a not-a-number fails the comparisons.
  d.usable = d.cc > 0 && d.pp <= kSliver * d.cc && d.pp < kFinite;
  return d;
}

int QuickTurn(const float n[3], const DoubleCross& d) {
  const double nx = n[0], ny = n[1], nz = n[2];
  const double nn = nx * nx + ny * ny + nz * nz;
  const double dot = nx * d.c[0] + ny * d.c[1] + nz * d.c[2];
  if (!(d.usable && nn > 0 && nn < kFinite)) return -1;
  if (dot >= 0) return 0;
  const double d2 = dot * dot, scale = nn * d.cc;
  if (d2 > kTurnAbove * scale) return 1;
  if (d2 < kKeepBelow * scale) return 0;
  return -1;
}

// float(CalcNormal) in double arithmetic, where that gives the same floats: false when
// it cannot tell, and CalcNormal must decide.
//
// With u = 2^-53, L = |cd| and P the error vector of CrossOf, the double normal
// component cd_i / L is within u (4.02 P_i / L + |n_i| (4.02 |P| / L + 4.7)) of the exact
// one, and the extended one within a two-thousandth of that. E below is about twice
// the sum, with |P| <= P_x + P_y + P_z. When n_i - E and n_i + E narrow to the same
// float, so does everything between them, the extended value and its rounding to
// double included (both roundings are monotonic): that float is CalcNormalFloat's.
// A component whose two products are both zero is a zero of the same sign in either
// arithmetic (an axis-aligned facet's); any other zero or near-zero component straddles
// the two signs of zero and is left to CalcNormal, as is every facet CrossOf finds
// unusable.
constexpr double kNormalBound = 0x1p-50;  // 8 u

bool QuickNormalFloat(const DoubleCross& d, float n[3]) {
  if (!d.usable) return false;
  const double length = std::sqrt(d.cc), inverse = 1 / length;
  const double spread = d.p[0] + d.p[1] + d.p[2] + 4 * length;
  bool sure = true;
  for (int i = 0; i < 3; ++i) {
    const double ni = d.c[i] * inverse;
    const double e = kNormalBound * (d.p[i] + std::fabs(ni) * spread) * inverse;
    const float lo = static_cast<float>(ni - e), hi = static_cast<float>(ni + e);
    sure = sure && (d.p[i] == 0 || std::bit_cast<uint32_t>(lo) == std::bit_cast<uint32_t>(hi));
    n[i] = lo;
  }
  return sure;
}

// Reads the next block of records, never past the counted facets, and takes the winding
// decision for each, and, once ScanSTLBlock has asked, the normals it can be sure of.
// False when no record could be read.
bool ReadAhead(STLReader* r) {
  uint32_t want = r->count - r->delivered;
  if (want > STLReader::kAhead) want = STLReader::kAhead;
  r->aheadNext = 0;
  r->aheadNormals = r->normals;
  r->aheadEnd = static_cast<uint32_t>(TakeBytes(r, r->ahead, want * kFacetSize) / kFacetSize);
  for (uint32_t i = 0; i < r->aheadEnd; ++i) {
    const unsigned char* record = r->ahead + kFacetSize * i;
    float n[3], v[9];
    for (int k = 0; k < 9; ++k) v[k] = GetLEFloat(record + 12 + 4 * k);
    const DoubleCross d = CrossOf(v);
    if (r->keepOrder) {
      r->turn[i] = false;
    } else {
      for (int k = 0; k < 3; ++k) n[k] = GetLEFloat(record + 4 * k);
      const int quick = QuickTurn(n, d);
      r->turn[i] = quick >= 0 ? quick == 1 : TurnsAgainst(n, v);
    }
    // A turned facet's normal is worked out in its delivered order, by ScanSTLBlock.
    if (r->aheadNormals) r->normalSure[i] = !r->turn[i] && QuickNormalFloat(d, r->normal[i]);
  }
  return r->aheadEnd > 0;
}

// The vertices of record i of the block in the order delivered: vertex k of the record,
// or the other of vertices 2 and 3 when the facet is turned.
void DeliveredVertices(const STLReader* r, uint32_t i, float v[9]) {
  const unsigned char* record = r->ahead + kFacetSize * i;
  const int second = r->turn[i] ? 24 : 12, third = r->turn[i] ? 12 : 24;
  for (int k = 0; k < 3; ++k) v[k] = GetLEFloat(record + 12 + 4 * k);
  for (int k = 0; k < 3; ++k) v[3 + k] = GetLEFloat(record + 12 + second + 4 * k);
  for (int k = 0; k < 3; ++k) v[6 + k] = GetLEFloat(record + 12 + third + 4 * k);
}

// Binary facet: one 50-byte record, its vertices in the repaired order. Returns 1, 0
// after the counted facets, -1 on a short read.
int ScanBinary(STLReader* r, float* v[9], int16_t* attribute) {
  if (r->delivered == r->count) return 0;
  if (r->aheadNext == r->aheadEnd && !ReadAhead(r)) {
    ++r->delivered;
    return -1;
  }
  ++r->delivered;
  const uint32_t i = r->aheadNext++;
  r->turned += r->turn[i];
  const unsigned char* record = r->ahead + kFacetSize * i;
  float delivered[9];
  DeliveredVertices(r, i, delivered);
  for (int k = 0; k < 9; ++k) *v[k] = delivered[k];
  // The one place a binary facet's word is delivered.
  *attribute = DeliveredWord(r, GetLE16(record + kAttributeOffset));
  return 1;
}

// The winding repair of an ASCII facet; true when it turned the facet.
bool RepairWinding(const float n[3], float* v[9]) {
  double c[3];
  CalcNormal(*v[0], *v[1], *v[2], *v[3], *v[4], *v[5], *v[6], *v[7], *v[8], &c[0], &c[1], &c[2]);
  if (!TurnsAgainst(n, c)) return false;
  for (int i = 3; i < 6; ++i) {
    float t = *v[i];
    *v[i] = *v[i + 3];
    *v[i + 3] = t;
  }
  return true;
}

// Whether head begins with "solid" in any case, after at most 75 blanks (fewer when
// the stream is shorter, so that five bytes remain); then position is just past it.
bool StartsWithSolid(STLReader* r) {
  const int skip = std::min(kMaxSkip, r->filled - 5);
  int p = 0;
  while (p < skip && IsBlank(r->head[p])) ++p;
  if (p + 5 > r->filled) return false;
  for (int i = 0; i < 5; ++i) {
    if (Lower(r->head[p + i]) != "solid"[i]) return false;
  }
  r->position = p + 5;
  return true;
}

// Byte i of the stream, read into head as far as needed; -1 when the stream ends
// before it, or when i reaches the end of the look-ahead: kSTLLook bytes, and, once the
// count is in head, the end of the facets it counts, so that a binary model is never
// read past its end (a program may read on in the same stream).
int HeadByte(STLReader* r, int i) {
  while (r->filled <= i) {
    int limit = kSTLLook;
    if (r->filled >= kCountEnd) {
      const uint64_t end = kCountEnd + kFacetSize * uint64_t{GetLE32(r->head + kHeaderSize)};
      if (end < static_cast<uint64_t>(limit)) limit = static_cast<int>(end);
    }
    if (r->filled >= limit) return kEndOfFile;
    const int c = NextByte(r->stream);
    if (c == kEndOfFile) return kEndOfFile;
    r->head[r->filled++] = static_cast<unsigned char>(c);
  }
  return r->head[i];
}

// Text: no control character other than the blanks.
inline bool IsText(unsigned char c) { return c >= 0x20 ? c != 0x7F : IsBlank(c); }

// A stream of unknown size whose header begins with "solid": whether it looks like
// ASCII STL. The first line is read (from position on) and the word after it; ASCII
// when that word is "facet" or "endsolid", or when every byte looked at is text. A
// binary header padded to 80 bytes is followed by its count, which holds a NUL for any
// count below 16,777,216, and by float data.
bool LooksAscii(STLReader* r) {
  int i = r->position, c;
  while ((c = HeadByte(r, i)) != kEndOfFile && c != '\n') ++i;
  if (c == '\n') {
    do {
      c = HeadByte(r, ++i);
    } while (IsBlank(c));
    char word[10];
    int n = 0;
    while (c != kEndOfFile && !IsBlank(c) && n < 9) {
      word[n++] = static_cast<char>(Lower(c));
      c = HeadByte(r, ++i);
    }
    word[n] = '\0';
    if (std::strcmp(word, "facet") == 0 || std::strcmp(word, "endsolid") == 0) return true;
  }
  return std::all_of(r->head, r->head + r->filled, [](unsigned char b) { return IsText(b); });
}

// A header that begins with "solid": whether the stream is binary all the same. A
// regular file is when its size is that of the facets its count gives, or larger by
// less than one record (some exporters add a byte); otherwise its header decides. A
// stream of unknown size is when it does not look like ASCII STL.
bool SolidIsBinary(STLReader* r) {
  uint64_t left;
  if (!FileBytesLeft(r->stream, &left)) return !LooksAscii(r);
  const uint64_t size = r->filled + left;
  if (HeadByte(r, kCountEnd - 1) == kEndOfFile) return false;
  const uint64_t records = kCountEnd + kFacetSize * uint64_t{GetLE32(r->head + kHeaderSize)};
  return size >= records && size - records < kFacetSize;
}

// ASCII: the rest of the first line (the solid's name) is skipped; false when the
// stream ends before its line feed.
int SetUpAscii(STLReader* r) {
  r->kind = kSTLAscii;
  r->current = 0;
  return SkipLine(r) ? 1 : 0;
}

// A stream that ends within its first 80 bytes is ASCII, and is read when it holds
// complete empty solids ("solid Empty\nendsolid Empty\n"): the first scan, tried here,
// ends regularly. Anything else that short cannot be set up.
int SetUpShort(STLReader* r) {
  if (!StartsWithSolid(r) || SetUpAscii(r) != 1) return 0;
  const int start = r->position;
  float n[3], x;
  float* v[9] = {&x, &x, &x, &x, &x, &x, &x, &x, &x};
  const bool empty = ScanAscii(r, n, v) == 0 && !r->noEndsolid;
  // The stream has ended: every byte came from head, and the scan starts over there.
  r->position = start;
  r->current = '\n';
  r->noEndsolid = false;
  return empty ? 1 : 0;
}

// Binary: the count follows the header. A regular file whose header calls it binary
// and that holds K whole records after the count, more than the count says (a writer
// that could not seek back leaves 0), gives all K facets.
int SetUpBinary(STLReader* r, bool headerBinary) {
  r->kind = kSTLBinary;
  r->position = kHeaderSize;  // the header is not read
#if defined(MESHPIX_STL_ATTRIBUTE)
  unsigned char rgba[4];
  if (FindColourHeader(r->head, rgba)) {
    r->objectForm = true;
    r->objectColour =
        ColourWord(TruncateChannel(rgba[0]), TruncateChannel(rgba[1]), TruncateChannel(rgba[2]));
  }
#endif
  unsigned char count[4];
  if (TakeBytes(r, count, 4) != 4) return 0;
  r->count = r->countInFile = GetLE32(count);
  uint64_t left;
  if (headerBinary && FileBytesLeft(r->stream, &left)) {
    left += static_cast<uint64_t>(r->filled - r->position);
    const uint64_t records = left / kFacetSize;
    if (left % kFacetSize == 0 && records > r->count && records <= UINT32_MAX)
      r->count = static_cast<uint32_t>(records);
  }
  return 1;
}

}  // namespace

int SetUpSTL(STLReader* r, FILE* stream) {
  r->stream = stream;
  r->kind = kSTLAscii;
  r->current = 0;
  r->position = 0;
  r->delivered = 0;
  r->count = r->countInFile = 0;
  r->keepOrder = keepVertexOrder;
  r->aheadNext = r->aheadEnd = 0;
  r->normals = r->aheadNormals = false;
  r->facets = 0;
  r->turned = 0;
  r->failed = false;
  r->noEndsolid = false;
  r->objectForm = false;
  r->objectColour = 0;
  r->filled = static_cast<int>(std::fread(r->head, 1, kHeaderSize, stream));
  if (r->filled < kHeaderSize) return SetUpShort(r);

  const bool headerBinary = std::memchr(r->head, 0, kHeaderSize) != nullptr || !StartsWithSolid(r);
  if (!headerBinary && !SolidIsBinary(r)) return SetUpAscii(r);
  return SetUpBinary(r, headerBinary);
}

#if defined(MESHPIX_STL_ATTRIBUTE)
int ScanSTL(STLReader* r, float* x1, float* y1, float* z1, float* x2, float* y2, float* z2,
            float* x3, float* y3, float* z3, int16_t* attribute) {
#else
int ScanSTL(STLReader* r, float* x1, float* y1, float* z1, float* x2, float* y2, float* z2,
            float* x3, float* y3, float* z3) {
  int16_t dropped;
  int16_t* attribute = &dropped;
#endif
  float* v[9] = {x1, y1, z1, x2, y2, z2, x3, y3, z3};
  int result;
  if (r->kind == kSTLBinary) {
    result = ScanBinary(r, v, attribute);
  } else if (r->kind == kSTLAscii) {
    float n[3];
    result = ScanAscii(r, n, v);
    *attribute = 0;
    if (result == 1 && !r->keepOrder && RepairWinding(n, v)) ++r->turned;
  } else {
    result = -1;
  }
  if (result != 1) {
    if (result < 0) r->failed = true;
    return result;
  }
  ++r->facets;
  return 1;
}

#if defined(MESHPIX_STL_ATTRIBUTE)
int ScanSTLBlock(STLReader* r, float b[12], int16_t* attribute) {
  int result =
      ScanSTL(r, &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9], &b[10], &b[11], attribute);
#else
int ScanSTLBlock(STLReader* r, float b[12]) {
  int result = ScanSTL(r, &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9], &b[10], &b[11]);
#endif
  // CalcNormal of the delivered order: the sign of a zero component depends on the
  // products it came from, so a turned facet's normal is not simply negated. A binary
  // facet's may have been worked out with its block, the same floats in a loop that
  // runs faster; the blocks read from now on have theirs.
  if (result != 1) return result;
  const uint32_t i = r->aheadNext - 1;
  if (r->kind == kSTLBinary && r->aheadNormals && r->normalSure[i]) {
    std::memcpy(b, r->normal[i], sizeof r->normal[i]);
  } else {
    CalcNormalFloat(b + 3, b);
  }
  r->normals = true;
  return result;
}

// Kept out of line: which of two not-a-number operands an x87 operation passes on
// depends on the code around it, and every caller is to get the same bits.
[[gnu::noinline]] void CalcNormal(double x1, double y1, double z1, double x2, double y2, double z2,
                                  double x3, double y3, double z3, double* nx, double* ny,
                                  double* nz) {
  const Cross c = CornerCross(x1, y1, z1, x2, y2, z2, x3, y3, z3);
  const long double length = Length(c);
  *nx = static_cast<double>(c.x / length);
  *ny = static_cast<double>(c.y / length);
  *nz = static_cast<double>(c.z / length);
}

// float(CalcNormal): the double arithmetic of QuickNormalFloat where it is sure, the
// extended one otherwise.
void CalcNormalFloat(const float v[9], float n[3]) {
  if (QuickNormalFloat(CrossOf(v), n)) return;
  double c[3];
  CalcNormal(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], &c[0], &c[1], &c[2]);
  for (int i = 0; i < 3; ++i) n[i] = static_cast<float>(c[i]);
}

#if defined(MESHPIX_STL_ATTRIBUTE)
Facet* AllocFacet(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                  double y3, double z3, int attribute) {
#else
Facet* AllocFacet(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                  double y3, double z3) {
#endif
  auto* f = static_cast<Facet*>(std::malloc(sizeof(Facet)));
  if (f == nullptr) return nullptr;
  f->x1 = static_cast<float>(x1);
  f->y1 = static_cast<float>(y1);
  f->z1 = static_cast<float>(z1);
  f->x2 = static_cast<float>(x2);
  f->y2 = static_cast<float>(y2);
  f->z2 = static_cast<float>(z2);
  f->x3 = static_cast<float>(x3);
  f->y3 = static_cast<float>(y3);
  f->z3 = static_cast<float>(z3);
#if defined(MESHPIX_STL_ATTRIBUTE)
  f->attribute = static_cast<int16_t>(attribute & 0xFFFF);
#endif
  f->next = nullptr;
  return f;
}

namespace {

// The Facets of a list read by ReadFacetList come from blocks, each one malloc block: a
// header linking it to the next block, then room for its Facets. Blocks grow with the
// facets actually read (64 Facets at first, twice as many each time, at most 65,536),
// never with the count a header claims; a block in large pages holds what fits in
// them. The list's first Facet is the first of the first block, which is how
// FreeFacetList finds the blocks.
struct FacetBlock {
  FacetBlock* next;
};
static_assert(sizeof(FacetBlock) % alignof(Facet) == 0);

constexpr size_t kFirstBlock = 64;
constexpr size_t kLargestBlock = 65536;

// A block of this size or more is taken in whole large pages where the system offers
// them: a large model's list then costs a few page faults instead of one every 4 KiB,
// which otherwise takes as long as reading the model.
constexpr size_t kLargePage = size_t{2} << 20;

// *bytes is what is asked for, and becomes what the block holds: a block in large
// pages is rounded up to whole ones, and the rest is used, since a large page is
// cleared whole when it is first touched.
void* AllocFacetBlock(size_t* bytes) {
#if defined(MADV_HUGEPAGE)
  if (*bytes >= kLargePage) {
    const size_t whole = (*bytes + kLargePage - 1) / kLargePage * kLargePage;
    void* block = std::aligned_alloc(kLargePage, whole);
    if (block != nullptr) {
      madvise(block, whole, MADV_HUGEPAGE);  // a hint: refused, it is small pages
      *bytes = whole;
    }
    return block;
  }
#endif
  return std::malloc(*bytes);
}

FacetBlock* NewFacetBlock(size_t* facets) {
  // When memory runs short, smaller blocks are tried down to a single Facet, so that
  // the list ends only where not one more Facet fits, as with one block per Facet.
  for (size_t n = *facets; n >= 1; n /= 2) {
    size_t bytes = sizeof(FacetBlock) + n * sizeof(Facet);
    auto* block = static_cast<FacetBlock*>(AllocFacetBlock(&bytes));
    if (block != nullptr) {
      block->next = nullptr;
      *facets = (bytes - sizeof(FacetBlock)) / sizeof(Facet);
      return block;
    }
  }
  return nullptr;
}

}  // namespace

Facet* ReadFacetList(FILE* stream, bool* outOfMemory, STLReader* end) {
  if (outOfMemory != nullptr) *outOfMemory = false;
  STLReader reader;
  if (SetUpSTL(&reader, stream) != 1) {
    if (end != nullptr) *end = reader;
    return nullptr;
  }
  Facet* head = nullptr;
  Facet** tail = &head;
  FacetBlock* block = nullptr;
  Facet* free = nullptr;  // the unused Facets of the current block
  size_t left = 0, size = kFirstBlock / 2;
  Facet f;
#if defined(MESHPIX_STL_ATTRIBUTE)
  while (ScanSTL(&reader, &f.x1, &f.y1, &f.z1, &f.x2, &f.y2, &f.z2, &f.x3, &f.y3, &f.z3,
                 &f.attribute) == 1) {
#else
  while (ScanSTL(&reader, &f.x1, &f.y1, &f.z1, &f.x2, &f.y2, &f.z2, &f.x3, &f.y3, &f.z3) == 1) {
#endif
    if (left == 0) {
      size = size * 2 > kLargestBlock ? kLargestBlock : size * 2;
      FacetBlock* next = NewFacetBlock(&size);
      if (next == nullptr) {
        if (outOfMemory != nullptr) *outOfMemory = true;
        break;
      }
      if (block != nullptr) block->next = next;
      block = next;
      free = reinterpret_cast<Facet*>(block + 1);
      left = size;
    }
    Facet* slot = free++;
    --left;
    *slot = f;
    slot->next = nullptr;
    *tail = slot;
    tail = &slot->next;
  }
  if (end != nullptr) *end = reader;
  return head;
}

uint64_t STLFacetRoom(const STLReader* r) {
  uint64_t bytes;
  if (r->kind != kSTLBinary || !FileBytesLeft(r->stream, &bytes)) return 0;
  bytes += static_cast<uint64_t>(r->filled - r->position);  // read ahead at set-up
  const uint64_t room = bytes / kFacetSize;
  const uint64_t left = r->count - r->delivered;
  return room < left ? room : left;
}

bool ReportSTLEnd(const STLReader* r, const char* name) {
  if (r->failed) {
    std::fprintf(stderr, "%s : STL data error after %llu facets.\n", name,
                 static_cast<unsigned long long>(r->facets));
    return false;
  }
  if (r->noEndsolid) std::fprintf(stderr, "%s : no endsolid (warning).\n", name);
  if (r->count != r->countInFile) {
    std::fprintf(stderr, "%s : count %lu, %lu facets read (warning).\n", name,
                 static_cast<unsigned long>(r->countInFile), static_cast<unsigned long>(r->count));
  }
  if (r->turned > 0) {
    std::fprintf(stderr, "%s : %llu facets turned to agree with their stored normals (warning).\n",
                 name, static_cast<unsigned long long>(r->turned));
  }
  return true;
}

void RequireSTLEnd(const STLReader* r, const char* name) {
  if (!ReportSTLEnd(r, name)) ExitProgram(1);
}

void FreeFacetList(Facet* head) {
  if (head == nullptr) return;
  FacetBlock* block = reinterpret_cast<FacetBlock*>(head) - 1;
  while (block != nullptr) {
    FacetBlock* next = block->next;
    std::free(block);
    block = next;
  }
}

namespace {

// Opens an input ("-": standard input) and sets the reader up on it. Null when it is
// ready; else what failed, as a phrase without its full stop. reader->stream is the
// stream to close either way (null when none opened).
const char* OpenSTL(STLReader* r, const char* name) {
  FILE* stream = OpenInput(name);
  if (stream == nullptr) {
    r->stream = nullptr;
    return "file not found";
  }
  if (SetUpSTL(r, stream) != 1) return "STL header read error";
  return nullptr;
}

}  // namespace

void OpenSTLInput(STLReader* r, const char* name) {
  if (const char* failure = OpenSTL(r, name)) Abort(name, failure);
}

void StartSTLProgram(int* argc, char*** argv, const ProgramInfo& program) {
  const std::string arguments =
      std::string("--vertex-order\tfirst: keep every facet's vertex order, whatever its normal\n") +
      program.arguments;
  ProgramInfo help = program;
  help.arguments = arguments.c_str();
  StartProgram(*argc, *argv, help);
  if (*argc > 1 && std::strcmp((*argv)[1], "--vertex-order") == 0) {
    keepVertexOrder = true;
    (*argv)[1] = (*argv)[0];  // the program's name, before the arguments that remain
    ++*argv;
    --*argc;
  }
}

int EachSTLFile(int argc, char** argv, const char* usage, STLFileFunction each, void* context) {
  if (argc < 2) Usage(usage);
  int status = 0;  // 1 once any file could not be opened, set up or read to its end
  for (int i = 1; i < argc; ++i) {
    const char* name = argv[i];
    STLReader reader;
    if (const char* failure = OpenSTL(&reader, name)) {
      std::fprintf(stderr, "%s : %s.\n", name, failure);
      status = 1;
    } else {
      // The line for the facets read comes first, then the error, if any.
      each(&reader, name, context);
      if (!ReportSTLEnd(&reader, name)) status = 1;
    }
    CloseInput(reader.stream);
  }
  FinishOutput();
  return status;
}
