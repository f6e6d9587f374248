#include "giftest.h"

#include <sstream>

namespace {

struct Reader {
  const std::string& bytes;
  size_t at = 0;
  bool Byte(int* v) {
    if (at >= bytes.size()) return false;
    *v = static_cast<uint8_t>(bytes[at++]);
    return true;
  }
  bool Word(int* v) {
    int lo, hi;
    if (!Byte(&lo) || !Byte(&hi)) return false;
    *v = lo | hi << 8;
    return true;
  }
  bool Take(size_t n, std::vector<uint8_t>* out) {
    if (bytes.size() - at < n) return false;
    out->assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + n));
    at += n;
    return true;
  }
};

bool Fail(GifFile* gif, const std::string& why) {
  gif->error = why;
  return false;
}

bool Decode(const std::vector<uint8_t>& data, GifImage* image, std::string* error) {
  const int clear = 1 << image->minCodeSize, end = clear + 1;
  int width = image->minCodeSize + 1, next = clear + 2, prev = -1;
  std::vector<int> prefix(4096, -1), suffix(4096, 0), length(4096, 1);
  for (int i = 0; i < clear; ++i) suffix[i] = i;
  auto expand = [&](int code, std::vector<uint8_t>* out) {
    std::vector<uint8_t> s(length[code]);
    for (int c = code, i = length[code] - 1; i >= 0; c = prefix[c], --i) s[i] = suffix[c];
    out->insert(out->end(), s.begin(), s.end());
    return s[0];
  };
  uint64_t bits = 0;
  int held = 0;
  size_t at = 0;
  for (;;) {
    while (held < width && at < data.size()) {
      bits |= uint64_t{data[at++]} << held;
      held += 8;
    }
    if (held < width) {
      *error = "data end before the end code";
      return false;
    }
    const int code = static_cast<int>(bits & ((1u << width) - 1));
    bits >>= width;
    held -= width;
    image->codes.push_back({code, width, next, 0});
    image->bits += width;
    const size_t before = image->pixels.size();
    if (code == clear) {
      width = image->minCodeSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == end) break;
    if (prev < 0) {
      if (code >= clear) {
        *error = "first code after a clear is not a pixel";
        return false;
      }
      expand(code, &image->pixels);
      image->codes.back().length = 1;
      prev = code;
      continue;
    }
    int first;
    if (code < next) {
      first = expand(code, &image->pixels);
    } else if (code == next && next < 4096) {
      first = expand(prev, &image->pixels);
      image->pixels.push_back(static_cast<uint8_t>(first));
    } else {
      *error = "code " + std::to_string(code) + " beyond the table";
      return false;
    }
    image->codes.back().length = static_cast<int>(image->pixels.size() - before);
    if (next < 4096) {
      prefix[next] = prev;
      suffix[next] = first;
      length[next] = length[prev] + 1;
      ++next;
      if (next == (1 << width) && width < 12) ++width;
    }
    prev = code;
  }
  if (held >= 8 || at != data.size() || static_cast<size_t>(image->bits + 7) / 8 != data.size()) {
    *error = "bytes left after the end code";
    return false;
  }
  if (bits != 0) {
    *error = "padding bits not zero";
    return false;
  }
  return true;
}

}  // namespace

bool ParseGif(const std::string& bytes, GifFile* gif) {
  *gif = GifFile{};
  Reader in{bytes};
  std::vector<uint8_t> signature;
  if (!in.Take(6, &signature)) return Fail(gif, "no signature");
  gif->version.assign(signature.begin(), signature.end());
  if (gif->version != "GIF87a" && gif->version != "GIF89a") return Fail(gif, "no GIF signature");
  int background, aspect;
  if (!in.Word(&gif->width) || !in.Word(&gif->height) || !in.Byte(&gif->flags) ||
      !in.Byte(&background) || !in.Byte(&aspect)) {
    return Fail(gif, "header cut short");
  }
  if ((gif->flags & 0x80) && !in.Take(768, &gif->table)) return Fail(gif, "global table cut short");
  GifControl control{-1, 0, 0};
  for (;;) {
    int kind;
    if (!in.Byte(&kind)) return Fail(gif, "no trailer");
    if (kind == ';') break;
    if (kind == '!') {
      // Only a graphic control (4 bytes) or a loop extension: "NETSCAPE2.0", 1, count.
      int label, n;
      std::vector<uint8_t> block, count;
      if (!in.Byte(&label) || !in.Byte(&n) || !in.Take(static_cast<size_t>(n), &block))
        return Fail(gif, "extension cut short");
      if (label == 0xF9 && n == 4) {
        control = {block[0], block[1] | block[2] << 8, block[3]};
      } else if (label == 0xFF && n == 11 &&
                 std::string(block.begin(), block.end()) == "NETSCAPE2.0" && in.Byte(&n) &&
                 n == 3 && in.Take(3, &count) && count[0] == 1) {
        if (gif->loop >= 0) return Fail(gif, "two loop extensions");
        gif->loop = count[1] | count[2] << 8;
      } else {
        return Fail(gif, "unexpected extension " + std::to_string(label));
      }
      if (!in.Byte(&n) || n != 0) return Fail(gif, "extension without its terminator");
      continue;
    }
    if (kind != ',') return Fail(gif, "unexpected block " + std::to_string(kind));
    GifImage image;
    image.control = control;
    control = {-1, 0, 0};
    if (!in.Word(&image.left) || !in.Word(&image.top) || !in.Word(&image.width) ||
        !in.Word(&image.height) || !in.Byte(&image.flags)) {
      return Fail(gif, "image descriptor cut short");
    }
    if ((image.flags & 0x80) && !in.Take(768, &image.table))
      return Fail(gif, "local table cut short");
    if (!in.Byte(&image.minCodeSize)) return Fail(gif, "no code size");
    std::vector<uint8_t> data, block;
    for (;;) {
      int n;
      if (!in.Byte(&n)) return Fail(gif, "sub-blocks cut short");
      if (n == 0) break;
      if (!in.Take(static_cast<size_t>(n), &block)) return Fail(gif, "sub-block cut short");
      image.blocks.push_back(n);
      data.insert(data.end(), block.begin(), block.end());
    }
    std::string error;
    if (!Decode(data, &image, &error))
      return Fail(gif, "image " + std::to_string(gif->images.size()) + ": " + error);
    if (image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
      return Fail(gif, "image " + std::to_string(gif->images.size()) + ": " +
                           std::to_string(image.pixels.size()) + " pixels decoded");
    }
    gif->images.push_back(std::move(image));
  }
  gif->trailer = true;
  if (in.at != bytes.size()) return Fail(gif, "bytes after the trailer");
  return true;
}

std::string DescribeGif(const std::string& bytes) {
  GifFile gif;
  const bool ok = ParseGif(bytes, &gif);
  std::ostringstream s;
  s << bytes.size() << " bytes; screen " << gif.width << "x" << gif.height << " flags 0x"
    << std::hex << gif.flags << std::dec << "; " << gif.images.size() << " images\n";
  for (size_t i = 0; i < gif.images.size(); ++i) {
    const GifImage& m = gif.images[i];
    s << "  image " << i << " at " << m.left << "," << m.top << " " << m.width << "x" << m.height
      << " flags 0x" << std::hex << m.flags << std::dec << ", " << m.codes.size() << " codes in "
      << m.blocks.size() << " sub-blocks\n";
    if (m.width * m.height <= 64) {
      s << "    pixels:";
      for (uint8_t p : m.pixels) s << " " << int{p};
      s << "\n";
    }
  }
  if (!ok) s << "  error: " << gif.error << "\n";
  return s.str();
}

std::array<int, 3> Colour(const GifFile& gif, int image, int column, int row) {
  const GifImage& m = gif.images.at(static_cast<size_t>(image));
  const std::vector<uint8_t>& table = m.table.empty() ? gif.table : m.table;
  const int index = m.pixels.at(static_cast<size_t>(row) * m.width + column);
  return {table.at(3 * index), table.at(3 * index + 1), table.at(3 * index + 2)};
}

int CountColour(const GifFile& gif, int image, const std::array<int, 3>& colour) {
  const GifImage& m = gif.images.at(static_cast<size_t>(image));
  int n = 0;
  for (int r = 0; r < m.height; ++r) {
    for (int c = 0; c < m.width; ++c) n += Colour(gif, image, c, r) == colour;
  }
  return n;
}
