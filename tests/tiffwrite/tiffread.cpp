#include "tiffread.h"

#include <sstream>

#include "common/bytes.h"

namespace {

constexpr int kClear = 256;
constexpr int kEnd = 257;
constexpr int kMaxWidth = 12;

const unsigned char* At(const std::string& bytes, uint64_t offset) {
  return reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
}

bool Fits(const std::string& bytes, uint64_t offset, uint64_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

// The LONG values of an entry: held in the entry when there is one, else at its offset.
bool Longs(const std::string& bytes, const TiffEntry& e, std::vector<uint32_t>* values) {
  values->clear();
  if (e.count == 1) {
    values->push_back(e.value);
    return true;
  }
  if (!Fits(bytes, e.value, 4ull * e.count)) return false;
  for (uint32_t i = 0; i < e.count; ++i) values->push_back(GetLE32(At(bytes, e.value + 4ull * i)));
  return true;
}

}  // namespace

const TiffEntry* TiffFile::Find(int tag) const {
  for (const auto& e : entries) {
    if (e.tag == tag) return &e;
  }
  return nullptr;
}

bool DecodeLZW(const std::string& strip, std::string* out, LZWTrace* trace, std::string* why) {
  std::vector<std::string> table(4096);
  for (int i = 0; i < 256; ++i) table[i] = std::string(1, static_cast<char>(i));
  int next = 258, width = 9, prev = -1;
  uint64_t bit = 0;
  const uint64_t total = 8ull * strip.size();
  out->clear();
  *trace = LZWTrace{};
  for (;;) {
    if (bit + width > total) {
      *why = "strip ends without the end-of-information code";
      return false;
    }
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit) {
      code = (code << 1) | ((static_cast<unsigned char>(strip[bit / 8]) >> (7 - bit % 8)) & 1);
    }
    trace->codes.push_back(code);
    trace->widths.push_back(width);
    if (code == kClear) {
      if (trace->codes.size() > 1) trace->nextAtClear.push_back(next);
      next = 258;
      width = 9;
      prev = -1;
      continue;
    }
    if (code == kEnd) break;
    if (trace->codes.size() == 1) {
      *why = "strip does not start with a Clear code";
      return false;
    }
    std::string entry;
    if (prev < 0) {
      if (code > 255) {
        *why = "first code after a Clear is not a byte: " + std::to_string(code);
        return false;
      }
      entry = table[code];
    } else {
      if (code < next) {
        entry = table[code];
      } else if (code == next) {
        entry = table[prev] + table[prev][0];
      } else {
        *why = "code " + std::to_string(code) + " beyond the table (next " + std::to_string(next) +
               ")";
        return false;
      }
      if (next >= 4096) {
        *why = "table overflow without a Clear code";
        return false;
      }
      table[next] = table[prev] + entry[0];
      trace->highestEntry = std::max(trace->highestEntry, next);
      ++next;
      if (next + 1 >= (1 << width) && width < kMaxWidth) ++width;
    }
    *out += entry;
    prev = code;
  }
  if ((bit + 7) / 8 != strip.size()) {
    *why = "bytes after the end-of-information code";
    return false;
  }
  return true;
}

bool ParseTiff(const std::string& bytes, TiffFile* t, std::string* why) {
  *t = TiffFile{};
  if (bytes.size() < 8 || bytes[0] != 'I' || bytes[1] != 'I' || GetLE16(At(bytes, 2)) != 42) {
    *why = "not a little-endian TIFF header";
    return false;
  }
  t->ifdOffset = GetLE32(At(bytes, 4));
  if (t->ifdOffset % 2 != 0 || !Fits(bytes, t->ifdOffset, 2)) {
    *why = "IFD offset " + std::to_string(t->ifdOffset) + " odd or outside the file";
    return false;
  }
  const uint32_t n = GetLE16(At(bytes, t->ifdOffset));
  if (!Fits(bytes, t->ifdOffset + 2ull, 12ull * n + 4)) {
    *why = "IFD runs past the end of the file";
    return false;
  }
  for (uint32_t i = 0; i < n; ++i) {
    const unsigned char* e = At(bytes, t->ifdOffset + 2ull + 12ull * i);
    t->entries.push_back({GetLE16(e), GetLE16(e + 2), GetLE32(e + 4), GetLE32(e + 8)});
  }
  if (GetLE32(At(bytes, t->ifdOffset + 2ull + 12ull * n)) != 0) {
    *why = "next IFD offset is not 0";
    return false;
  }
  const TiffEntry* w = t->Find(256);
  const TiffEntry* h = t->Find(257);
  const TiffEntry* b = t->Find(258);
  const TiffEntry* spp = t->Find(277);
  const TiffEntry* rps = t->Find(278);
  const TiffEntry* so = t->Find(273);
  const TiffEntry* sc = t->Find(279);
  if (!w || !h || !b || !rps || !so || !sc) {
    *why = "a required tag is missing";
    return false;
  }
  t->width = w->type == 3 ? (w->value & 0xFFFF) : w->value;
  t->height = h->type == 3 ? (h->value & 0xFFFF) : h->value;
  t->samplesPerPixel = spp ? (spp->value & 0xFFFF) : 1;
  t->rowsPerStrip = rps->value & 0xFFFF;
  if (b->count == 1) {
    t->bits = b->value & 0xFFFF;
  } else if (Fits(bytes, b->value, 2)) {
    t->bits = GetLE16(At(bytes, b->value));
  }
  if (!Longs(bytes, *so, &t->stripOffsets) || !Longs(bytes, *sc, &t->stripCounts) ||
      t->stripOffsets.size() != t->stripCounts.size()) {
    *why = "strip arrays outside the file";
    return false;
  }
  std::string all;
  for (size_t k = 0; k < t->stripOffsets.size(); ++k) {
    if (!Fits(bytes, t->stripOffsets[k], t->stripCounts[k])) {
      *why = "strip " + std::to_string(k) + " outside the file";
      return false;
    }
    std::string decoded;
    LZWTrace trace;
    if (!DecodeLZW(bytes.substr(t->stripOffsets[k], t->stripCounts[k]), &decoded, &trace, why)) {
      *why = "strip " + std::to_string(k) + ": " + *why;
      return false;
    }
    all += decoded;
    t->strips.push_back(decoded);
    t->traces.push_back(trace);
  }
  const uint64_t rowBytes = (uint64_t{t->width} * t->bits * t->samplesPerPixel + 7) / 8;
  if (all.size() != rowBytes * t->height) {
    *why = "decoded " + std::to_string(all.size()) + " bytes, expected " +
           std::to_string(rowBytes * t->height);
    return false;
  }
  const uint64_t perRow = uint64_t{t->width} * t->samplesPerPixel;
  for (uint64_t r = 0; r < t->height; ++r) {
    const unsigned char* row = At(all, r * rowBytes);
    for (uint64_t s = 0; s < perRow; ++s) {
      uint32_t v = 0;
      if (t->bits == 8) {
        v = row[s];
      } else if (t->bits == 16) {
        v = GetLE16(row + 2 * s);
      } else if (t->bits == 32) {
        v = GetLE32(row + 4 * s);
      } else {
        for (uint64_t i = s * t->bits; i < (s + 1) * t->bits; ++i)
          v = (v << 1) | ((row[i / 8] >> (7 - i % 8)) & 1);
      }
      t->samples.push_back(v);
    }
  }
  return true;
}

std::string DescribeTiff(const TiffFile& t) {
  std::ostringstream s;
  s << "IFD at " << t.ifdOffset << ", " << t.entries.size() << " entries:\n";
  for (const auto& e : t.entries) {
    s << "  tag " << e.tag << " type " << e.type << " count " << e.count << " value " << e.value
      << "\n";
  }
  s << "strips:";
  for (size_t k = 0; k < t.stripOffsets.size(); ++k)
    s << " " << t.stripOffsets[k] << "+" << t.stripCounts[k];
  s << "\n";
  return s.str();
}
