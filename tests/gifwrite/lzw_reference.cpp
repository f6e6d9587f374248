// Reference copies of the encoders replaced by the shared LZW table, kept unchanged
// apart from writing into a string. Not used by any program.
#include "lzw_reference.h"

#include <cstdint>
#include <cstring>

namespace {

namespace gif {

constexpr int kMinCodeSize = 8;
constexpr int kClearCode = 256;
constexpr int kEndCode = 257;
constexpr int kFirstCode = 258;
constexpr int kCodeLimit = 4096;
constexpr int kFirstRoof = 512;
constexpr int kNone = 4096;
constexpr int kSlots = 9001;
constexpr uint32_t kKeyMask = 0xFFFFF000;
constexpr uint32_t kCodeMask = 0x00000FFF;

uint32_t buf;
int num;
int len;
unsigned char out[256];
uint32_t str[kSlots];
int ent;
int roof;
int head;
std::string* sink;

void Put(int code) {
  buf |= static_cast<uint32_t>(code) << num;
  num += len;
  while (num >= 8) {
    out[++out[0]] = static_cast<unsigned char>(buf);
    buf >>= 8;
    if (out[0] == 255) {
      sink->append(reinterpret_cast<const char*>(out), 256);
      out[0] = 0;
    }
    num -= 8;
  }
}

void ClearTable() {
  std::memset(str, 0, sizeof str);
  ent = kFirstCode;
  roof = kFirstRoof;
}

void InitEncode() {
  sink->push_back(static_cast<char>(kMinCodeSize));
  buf = 0;
  num = 0;
  len = kMinCodeSize + 1;
  out[0] = 0;
  Put(kClearCode);
  ClearTable();
  head = kNone;
}

void Encode(int p) {
  if (head == kNone) {
    head = p;
    return;
  }
  const uint32_t key = (static_cast<uint32_t>(head) << 20) | (static_cast<uint32_t>(p) << 12);
  int h = (p << 5) ^ head;
  if (str[h] != 0) {
    if ((str[h] & kKeyMask) == key) {
      head = static_cast<int>(str[h] & kCodeMask);
      return;
    }
    const int d = h == 0 ? kSlots - 1 : h;
    for (;;) {
      h = (h + d) % kSlots;
      if (str[h] == 0) break;
      if ((str[h] & kKeyMask) == key) {
        head = static_cast<int>(str[h] & kCodeMask);
        return;
      }
    }
  }
  Put(head);
  if (ent == kCodeLimit) {
    Put(kClearCode);
    len = kMinCodeSize + 1;
    ClearTable();
  } else {
    str[h] = key | static_cast<uint32_t>(ent);
    if (ent == roof) {
      ++len;
      roof *= 2;
    }
    ++ent;
  }
  head = p;
}

void TermEncode() {
  if (head != kNone) {
    Put(head);
    if (ent == roof && len < 12) ++len;
  }
  Put(kEndCode);
  if (num != 0) out[++out[0]] = static_cast<unsigned char>(buf);
  if (out[0] != 0) sink->append(reinterpret_cast<const char*>(out), out[0] + 1u);
  sink->push_back(0);
}

}  // namespace gif

namespace tiff {

constexpr int kClearCode = 256;
constexpr int kEndCode = 257;
constexpr int kFirstFree = 258;
constexpr int kFullTable = 4094;
constexpr int kNoPrefix = 4096;
constexpr int kMinWidth = 9;
constexpr int kFirstLimit = 512;
constexpr int kHashSize = 9001;
constexpr uint32_t kKeyMask = 0xFFFFF000u;
constexpr uint32_t kCodeMask = 0xFFFu;

int pending;
uint32_t accumulator;
int codeWidth;
int nextCode;
int widthLimit;
int prefix;
uint32_t table[kHashSize];
std::string* sink;

void LZWPutCode(int code) {
  accumulator = (accumulator << codeWidth) | static_cast<uint32_t>(code);
  pending += codeWidth;
  while (pending >= 8) {
    pending -= 8;
    sink->push_back(static_cast<char>((accumulator >> pending) & 0xFF));
  }
}

void ResetTable() {
  codeWidth = kMinWidth;
  std::memset(table, 0, sizeof table);
  nextCode = kFirstFree;
  widthLimit = kFirstLimit;
}

void InitEncode() {
  pending = 0;
  accumulator = 0;
  codeWidth = kMinWidth;
  LZWPutCode(kClearCode);
  ResetTable();
  prefix = kNoPrefix;
}

void Encode(int k) {
  if (prefix == kNoPrefix) {
    prefix = k;
    return;
  }
  const uint32_t key = (static_cast<uint32_t>(prefix) << 20) | (static_cast<uint32_t>(k) << 12);
  int h = (k << 5) ^ prefix;
  if (table[h] != 0) {
    if ((table[h] & kKeyMask) == key) {
      prefix = static_cast<int>(table[h] & kCodeMask);
      return;
    }
    const int step = h == 0 ? kHashSize - 1 : h;
    for (;;) {
      h += step;
      if (h >= kHashSize) h -= kHashSize;
      if (table[h] == 0) break;
      if ((table[h] & kKeyMask) == key) {
        prefix = static_cast<int>(table[h] & kCodeMask);
        return;
      }
    }
  }
  LZWPutCode(prefix);
  if (nextCode == kFullTable) {
    LZWPutCode(kClearCode);
    ResetTable();
  } else {
    table[h] = key | static_cast<uint32_t>(nextCode);
    if (++nextCode == widthLimit) {
      ++codeWidth;
      widthLimit <<= 1;
    }
  }
  prefix = k;
}

void TermEncode() {
  if (prefix != kNoPrefix) {
    LZWPutCode(prefix);
    if (++nextCode == widthLimit) ++codeWidth;
  }
  LZWPutCode(kEndCode);
  if (pending > 0) sink->push_back(static_cast<char>((accumulator << (8 - pending)) & 0xFF));
}

}  // namespace tiff

}  // namespace

std::string ReferenceGifLZW(const std::vector<unsigned char>& pixels) {
  std::string bytes;
  gif::sink = &bytes;
  gif::InitEncode();
  for (unsigned char p : pixels) gif::Encode(p);
  gif::TermEncode();
  return bytes;
}

std::string ReferenceTiffStrip(const std::vector<unsigned char>& data) {
  std::string bytes;
  tiff::sink = &bytes;
  tiff::InitEncode();
  for (unsigned char k : data) tiff::Encode(k);
  tiff::TermEncode();
  return bytes;
}
