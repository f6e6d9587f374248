// The ZCP format code: the header writer, the strict header reader, the record
// coders and checks, the STL colour mapping and the text-list parsers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/bytes.h"
#include "zcp/lists.h"
#include "zcp/ply.h"
#include "zcp/zcp.h"

namespace {

const std::string kHeader8x12 =
    "ply\nformat binary_little_endian 1.0\nelement vertex 8\nproperty float x\n"
    "property float y\nproperty float z\nelement face 12\nproperty uchar red\n"
    "property uchar green\nproperty uchar blue\nproperty list uchar int vertex_indices\n"
    "end_header\n";

// A read-only stream over the bytes.
struct Stream {
  FILE* f;
  explicit Stream(const std::string& bytes) {
    f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
  }
  ~Stream() { std::fclose(f); }
};

std::string Written(void (*write)(FILE*)) {
  FILE* f = std::tmpfile();
  write(f);
  std::string bytes(static_cast<size_t>(std::ftell(f)), '\0');
  std::rewind(f);
  size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  bytes.resize(got);
  return bytes;
}

// Reads the header; on success also the byte right after it (-1 at the end).
bool Header(const std::string& bytes, uint32_t* n, uint32_t* m, int* next = nullptr) {
  Stream s(bytes);
  PLYSource source;
  StartSource(&source, s.f);
  bool ok = ReadZCPHeader(&source, n, m);
  if (next != nullptr) *next = SourceGet(&source);
  return ok;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

ListLine Line(const std::string& text) {
  ListLine line;
  std::snprintf(line.text, sizeof line.text, "%s", text.c_str());
  line.length = std::strlen(line.text);
  return line;
}

}  // namespace

TEST(ZcpHeader, WritesTheTwelveLinesWithUnsignedCounts) {
  EXPECT_EQ(Written([](FILE* f) { PutZCPHeader(f, 8, 12); }), kHeader8x12);
  // Above 2^31 the counts stay positive.
  std::string big = Written([](FILE* f) { PutZCPHeader(f, 2147483648u, 4294967295u); });
  EXPECT_NE(big.find("element vertex 2147483648\n"), std::string::npos);
  EXPECT_NE(big.find("element face 4294967295\n"), std::string::npos);
}

TEST(ZcpHeader, StrictReaderTakesTheWrittenHeaderAndStopsAtItsEnd) {
  uint32_t n = 0, m = 0;
  int next;
  // The first vertex byte is a blank: it must not be taken for header space.
  ASSERT_TRUE(Header(kHeader8x12 + " rest", &n, &m, &next));
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(m, 12u);
  EXPECT_EQ(next, ' ');
}

TEST(ZcpHeader, StrictReaderTakesAnySpacingBetweenWords) {
  uint32_t n, m;
  EXPECT_TRUE(Header(Replace(kHeader8x12, "element vertex 8", "element   vertex\t\t8"), &n, &m));
  EXPECT_TRUE(Header(Replace(kHeader8x12, "property float y", "property\nfloat\ny"), &n, &m));
  EXPECT_TRUE(Header(Replace(kHeader8x12, "vertex_indices\n", "vertex_indices\n\n  \n"), &n, &m));
  EXPECT_TRUE(Header(Replace(kHeader8x12, "face 12", "face +12"), &n, &m));
  EXPECT_EQ(m, 12u);
}

TEST(ZcpHeader, StrictReaderRejectsFaults) {
  uint32_t n, m;
  const char* faults[][2] = {
      {"end_header\n", "end_header\r\n"},                 // carriage return before the line feed
      {"\nend_header\n", "\r\nend_header\r\n"},           // CR LF throughout: fails at end_header
      {"element vertex 8", "element vertex 0"},           // no vertices
      {"element face 12", "element face 0"},              // no faces
      {"element vertex 8", "element vertex -8"},          // not an unsigned count
      {"element vertex 8", "element vertex 4294967296"},  // beyond 32 bits
      {"element vertex 8", "element vertex x"},
      {"property float x", "property double x"},
      {"ply\n", "PLY\n"},
      {"end_header\n", "end_headers\n"},
      {"end_header\n", "end_header"},  // no line feed before the end of the file
      {"end_header\n", ""},            // no end line at all: nothing to compare
  };
  for (const auto& f : faults) {
    EXPECT_FALSE(Header(Replace(kHeader8x12, f[0], f[1]), &n, &m)) << f[1];
  }
  for (size_t cut = 0; cut < kHeader8x12.size(); ++cut) {
    EXPECT_FALSE(Header(kHeader8x12.substr(0, cut), &n, &m)) << "cut at " << cut;
  }
}

TEST(ZcpRecords, PackFaceAndVertexLittleEndian) {
  unsigned char face[kZCPFaceSize];
  PackZCPFace(face, ZCPFace{255, 0, 10, {0, 1, 0x01020304}});
  const unsigned char expected[kZCPFaceSize] = {
      0xFF, 0x00, 0x0A, 0x03,  // red, green, blue, count 3
      0,    0,    0,    0,     // index 0
      1,    0,    0,    0,     // index 1
      4,    3,    2,    1};    // index 0x01020304
  EXPECT_EQ(0, std::memcmp(face, expected, kZCPFaceSize));

  unsigned char vertex[kZCPVertexSize];
  const float v[3] = {1.0f, -2.0f, 0.5f};
  PackZCPVertex(vertex, v);
  const unsigned char bytes[kZCPVertexSize] = {0, 0, 0x80, 0x3F, 0, 0, 0, 0xC0, 0, 0, 0, 0x3F};
  EXPECT_EQ(0, std::memcmp(vertex, bytes, kZCPVertexSize));
  const float back[3] = {GetLEFloat(vertex), GetLEFloat(vertex + 4), GetLEFloat(vertex + 8)};
  EXPECT_EQ(back[0], 1.0f);
  EXPECT_EQ(back[1], -2.0f);
  EXPECT_EQ(back[2], 0.5f);
}

TEST(ZcpRecords, FaceCheckReportsTheFirstFault) {
  unsigned char record[kZCPFaceSize];
  ZCPFace face;
  PackZCPFace(record, ZCPFace{1, 2, 3, {0, 4, 2}});
  EXPECT_EQ(CheckZCPFace(record, kZCPFaceSize, 5, &face), kZCPFaceOK);
  EXPECT_EQ(face.red, 1);
  EXPECT_EQ(face.blue, 3);
  EXPECT_EQ(face.index[1], 4u);
  EXPECT_EQ(CheckZCPFace(record, kZCPFaceSize, 4, &face), kZCPBadIndex);  // index == N
  EXPECT_EQ(CheckZCPFace(record, 2, 5, &face), kZCPShortColour);
  EXPECT_EQ(CheckZCPFace(record, 3, 5, &face), kZCPBadCorners);
  EXPECT_EQ(CheckZCPFace(record, 11, 5, &face), kZCPShortIndex);
  // A bad second index is found before the record ends inside the third.
  EXPECT_EQ(CheckZCPFace(record, 13, 4, &face), kZCPBadIndex);
  record[3] = 4;
  EXPECT_EQ(CheckZCPFace(record, kZCPFaceSize, 5, &face), kZCPBadCorners);
  PackZCPFace(record, ZCPFace{0, 0, 0, {0xFFFFFFFF, 0, 0}});
  EXPECT_EQ(CheckZCPFace(record, kZCPFaceSize, 0xFFFFFFFF, &face), kZCPBadIndex);
}

TEST(ZcpColour, AttributeWordWidensItsChannels) {
  const unsigned char fallback[3] = {10, 20, 30};
  unsigned char rgb[3];
  AttributeColour(static_cast<int16_t>(0x8000 | 31 << 10 | 16 << 5 | 1), fallback, rgb);
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 132);
  EXPECT_EQ(rgb[2], 8);
  AttributeColour(0x7FFF, fallback, rgb);  // no colour flag: the fallback
  EXPECT_EQ(rgb[0], 10);
  EXPECT_EQ(rgb[2], 30);
  AttributeColour(static_cast<int16_t>(0x8000), fallback, rgb);  // flag alone: black
  EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
}

TEST(ZcpLists, UnsignedNumbersReadLikeScanf) {
  auto scan = [](const char* text, uint32_t* v) {
    size_t pos = 0;
    return ScanUnsigned(text, &pos, v);
  };
  uint32_t v;
  ASSERT_TRUE(scan("  +7x", &v));
  EXPECT_EQ(v, 7u);
  ASSERT_TRUE(scan("-1", &v));  // wraps around
  EXPECT_EQ(v, 4294967295u);
  ASSERT_TRUE(scan("99999999999999999999999", &v));  // too large: the largest value
  EXPECT_EQ(v, 4294967295u);
  EXPECT_FALSE(scan("x1", &v));
  EXPECT_FALSE(scan("-", &v));
  EXPECT_FALSE(scan("", &v));
}

TEST(ZcpLists, CountAndVertexLines) {
  uint32_t n, m;
  EXPECT_TRUE(ParseCounts(Line("3 1\n"), &n, &m));
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(m, 1u);
  EXPECT_FALSE(ParseCounts(Line("0 5\n"), &n, &m));
  EXPECT_FALSE(ParseCounts(Line("5 0\n"), &n, &m));
  EXPECT_FALSE(ParseCounts(Line("5\n"), &n, &m));
  float v[3];
  ASSERT_TRUE(ParseVertex(Line("1.5 -2 3e2 extra\n"), v));
  EXPECT_EQ(v[0], 1.5f);
  EXPECT_EQ(v[1], -2.0f);
  EXPECT_EQ(v[2], 300.0f);
  EXPECT_FALSE(ParseVertex(Line("1 2\n"), v));
  EXPECT_FALSE(ParseVertex(Line("1,2,3\n"), v));
}

TEST(ZcpLists, FaceLinesTakeNoneOneOrThreeColourWords) {
  const unsigned char white[3] = {255, 255, 255};
  ZCPFace f;
  ASSERT_TRUE(ParseFace(Line("0 1 2\n"), 3, white, &f));
  EXPECT_EQ(f.index[2], 2u);
  EXPECT_EQ(f.red + f.green + f.blue, 3 * 255);
  ASSERT_TRUE(ParseFace(Line("0 1 2 128\n"), 3, white, &f));
  EXPECT_EQ(f.red, 128);
  EXPECT_EQ(f.blue, 128);
  ASSERT_TRUE(ParseFace(Line("2 1 0 255 0 7 seventh\n"), 3, white, &f));
  EXPECT_EQ(f.red, 255);
  EXPECT_EQ(f.green, 0);
  EXPECT_EQ(f.blue, 7);
  EXPECT_EQ(f.index[0], 2u);
  ASSERT_TRUE(ParseFace(Line("0 1 2 12abc\n"), 3, white, &f));  // starts with a number
  EXPECT_EQ(f.green, 12);
  for (const char* bad : {"0 1 2 255 0\n", "0 1 3\n", "0 1 2 256\n", "0 1 2 -1\n", "0 1\n",
                          "0 1 2 x\n", "0 1 2.5\n", "-1 0 1\n", "0 1 2 1 2 z\n"}) {
    EXPECT_FALSE(ParseFace(Line(bad), 3, white, &f)) << bad;
  }
}

// The parts of a long line share its line number.
TEST(ZcpLists, LongLinesReadAsSeveral) {
  std::string text = std::string(1500, '7') + "\nnext\n";
  Stream s(text);
  ListLine line;
  ASSERT_TRUE(ReadListLine(s.f, &line));
  EXPECT_EQ(line.length, kListLineLimit);
  EXPECT_EQ(line.number, 1u);
  ASSERT_TRUE(ReadListLine(s.f, &line));
  EXPECT_EQ(std::string(line.text), std::string(1500 - kListLineLimit, '7') + "\n");
  EXPECT_EQ(line.number, 1u);
  ASSERT_TRUE(ReadListLine(s.f, &line));
  EXPECT_EQ(std::string(line.text), "next\n");
  EXPECT_EQ(line.number, 2u);
  EXPECT_FALSE(ReadListLine(s.f, &line));
  EXPECT_EQ(line.number, 3u);  // the line that is missing
}
