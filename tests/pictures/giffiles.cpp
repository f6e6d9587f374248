#include "giffiles.h"

#include <cstdio>

namespace {

void PutWord(std::string* out, int v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

int Bits(size_t tableBytes) {
  int s = 1;
  while ((3u << s) < tableBytes) ++s;
  return s;
}

int Word(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8);
}

}  // namespace

TestGif OneImageGif(int width, int height, const std::string& table, std::vector<uint8_t> pixels) {
  TestGif gif;
  gif.width = width;
  gif.height = height;
  gif.table = table;
  TestImage image;
  image.width = width;
  image.height = height;
  image.pixels = std::move(pixels);
  gif.images.push_back(image);
  return gif;
}

TestImage ImageAt(int left, int top, int width, int height, std::vector<uint8_t> pixels) {
  TestImage image;
  image.left = left;
  image.top = top;
  image.width = width;
  image.height = height;
  image.pixels = std::move(pixels);
  return image;
}

std::string Table(std::initializer_list<int> components) {
  std::string t;
  for (int c : components) t.push_back(static_cast<char>(c));
  return t;
}

std::string GrayTable(int entries) {
  std::string t;
  for (int i = 0; i < entries; ++i) t.append(3, static_cast<char>(i * 255 / (entries - 1)));
  return t;
}

std::string LiteralData(int codeSize, const std::vector<uint8_t>& pixels) {
  const int clear = 1 << codeSize;
  const int width = codeSize + 1;
  std::string bytes;
  uint32_t bits = 0;
  int held = 0;
  auto put = [&](int code) {
    bits |= static_cast<uint32_t>(code) << held;
    held += width;
    while (held >= 8) {
      bytes.push_back(static_cast<char>(bits & 0xFF));
      bits >>= 8;
      held -= 8;
    }
  };
  // After a clear, clear - 2 literals make entries up to 2^(m+1) - 2: the width stays.
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (i % static_cast<size_t>(clear - 2) == 0) put(clear);
    put(pixels[i]);
  }
  if (pixels.empty()) put(clear);
  put(clear + 1);
  if (held > 0) bytes.push_back(static_cast<char>(bits));
  std::string blocks;
  for (size_t i = 0; i < bytes.size(); i += 255) {
    const std::string part = bytes.substr(i, 255);
    blocks.push_back(static_cast<char>(part.size()));
    blocks += part;
  }
  blocks.push_back('\0');
  return blocks;
}

std::string GifBytes(const TestGif& gif) {
  std::string out = gif.version;
  PutWord(&out, gif.width);
  PutWord(&out, gif.height);
  const int res = (gif.resolution - 1) << 4;
  out.push_back(static_cast<char>(gif.table.empty() ? res | gif.sizeField
                                                    : 0x80 | res | (Bits(gif.table.size()) - 1)));
  out.push_back('\0');  // background
  out.push_back('\0');  // aspect ratio
  out += gif.table;
  for (const TestImage& image : gif.images) {
    out += image.extensions;
    out.push_back(',');
    PutWord(&out, image.left);
    PutWord(&out, image.top);
    PutWord(&out, image.width);
    PutWord(&out, image.height);
    int flags = image.interlace ? 0x40 : 0;
    flags |= image.table.empty() ? image.sizeField : 0x80 | (Bits(image.table.size()) - 1);
    out.push_back(static_cast<char>(flags));
    out += image.table;
    out.push_back(static_cast<char>(image.codeSize));
    out += image.data.empty() ? LiteralData(image.codeSize, image.pixels) : image.data;
  }
  out += gif.tail;
  out.push_back(';');
  return out;
}

std::string DescribeBlocks(const std::string& b) {
  std::string text;
  char line[200];
  if (b.size() < 13) return "short file of " + std::to_string(b.size()) + " bytes\n";
  const int flags = static_cast<uint8_t>(b[10]);
  std::snprintf(line, sizeof line, "%.6s screen %dx%d flags %02X bg %d aspect %d\n", b.c_str(),
                Word(b, 6), Word(b, 8), flags, static_cast<uint8_t>(b[11]),
                static_cast<uint8_t>(b[12]));
  text += line;
  size_t at = 13;
  auto table = [&](int f) {
    if (!(f & 0x80)) return;
    const size_t size = 3u << ((f & 7) + 1);
    std::snprintf(line, sizeof line, "  table of %zu entries, crc %08X\n", size / 3,
                  static_cast<unsigned>(std::hash<std::string>{}(b.substr(at, size)) & 0xFFFFFFFF));
    text += line;
    at += size;
  };
  auto blocks = [&]() {
    size_t total = 0;
    while (at < b.size() && b[at] != 0) {
      total += static_cast<uint8_t>(b[at]);
      at += static_cast<uint8_t>(b[at]) + 1;
    }
    ++at;
    return total;
  };
  table(flags);
  while (at < b.size()) {
    const char c = b[at++];
    if (c == ';') {
      text += "trailer\n";
      if (at != b.size()) text += std::to_string(b.size() - at) + " bytes after the trailer\n";
      return text;
    }
    if (c == '!' && at < b.size()) {
      const int label = static_cast<uint8_t>(b[at++]);
      const size_t start = at;
      blocks();
      std::snprintf(line, sizeof line, "extension %02X:", label);
      text += line;
      for (size_t i = start; i < at && i < start + 24; ++i) {
        std::snprintf(line, sizeof line, " %02X", static_cast<uint8_t>(b[i]));
        text += line;
      }
      text += "\n";
      continue;
    }
    if (c == ',' && at + 9 <= b.size()) {
      const int f = static_cast<uint8_t>(b[at + 8]);
      std::snprintf(line, sizeof line, "image at %d,%d size %dx%d flags %02X\n", Word(b, at),
                    Word(b, at + 2), Word(b, at + 4), Word(b, at + 6), f);
      text += line;
      at += 9;
      table(f);
      const int m = at < b.size() ? static_cast<uint8_t>(b[at]) : -1;
      ++at;
      std::snprintf(line, sizeof line, "  code size %d, %zu data bytes\n", m, blocks());
      text += line;
      continue;
    }
    std::snprintf(line, sizeof line, "byte %02X at %zu\n", static_cast<uint8_t>(c), at - 1);
    return text + line;
  }
  return text + "no trailer\n";
}
