#include "support/stlfiles.h"

#include <cmath>
#include <cstdio>

#include "common/bytes.h"

TestFacet Tri(float x1, float y1, float z1, float x2, float y2, float z2, float x3, float y3,
              float z3, uint16_t attribute) {
  TestFacet f{{0, 0, 0}, {x1, y1, z1, x2, y2, z2, x3, y3, z3}, attribute};
  double ux = x2 - x1, uy = y2 - y1, uz = z2 - z1, vx = x3 - x1, vy = y3 - y1, vz = z3 - z1;
  double cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
  double length = std::sqrt(cx * cx + cy * cy + cz * cz);
  if (length > 0) {
    f.n[0] = static_cast<float>(cx / length);
    f.n[1] = static_cast<float>(cy / length);
    f.n[2] = static_cast<float>(cz / length);
  }
  return f;
}

std::vector<TestFacet> UnitCube() {
  // Two facets per side, counter-clockwise seen from outside.
  return {
      Tri(0, 0, 0, 0, 1, 0, 1, 1, 0), Tri(0, 0, 0, 1, 1, 0, 1, 0, 0),  // z = 0
      Tri(0, 0, 1, 1, 0, 1, 1, 1, 1), Tri(0, 0, 1, 1, 1, 1, 0, 1, 1),  // z = 1
      Tri(0, 0, 0, 1, 0, 0, 1, 0, 1), Tri(0, 0, 0, 1, 0, 1, 0, 0, 1),  // y = 0
      Tri(0, 1, 0, 0, 1, 1, 1, 1, 1), Tri(0, 1, 0, 1, 1, 1, 1, 1, 0),  // y = 1
      Tri(0, 0, 0, 0, 0, 1, 0, 1, 1), Tri(0, 0, 0, 0, 1, 1, 0, 1, 0),  // x = 0
      Tri(1, 0, 0, 1, 1, 0, 1, 1, 1), Tri(1, 0, 0, 1, 1, 1, 1, 0, 1),  // x = 1
  };
}

std::string BinarySTL(const std::vector<TestFacet>& facets, int64_t count) {
  std::string bytes(84 + 50 * facets.size(), '\0');
  auto* p = reinterpret_cast<unsigned char*>(bytes.data());
  PutLE32(p + 80, static_cast<uint32_t>(count < 0 ? static_cast<int64_t>(facets.size()) : count));
  p += 84;
  for (const auto& f : facets) {
    for (int i = 0; i < 3; ++i) PutLEFloat(p + 4 * i, f.n[i]);
    for (int i = 0; i < 9; ++i) PutLEFloat(p + 12 + 4 * i, f.v[i]);
    PutLE16(p + 48, f.attribute);
    p += 50;
  }
  return bytes;
}

std::string AsciiSTL(const std::vector<TestFacet>& facets, const std::string& name) {
  std::string text = "solid " + name + "\n";
  char line[256];
  for (const auto& f : facets) {
    std::snprintf(line, sizeof line, "  facet normal %.9g %.9g %.9g\n    outer loop\n", f.n[0],
                  f.n[1], f.n[2]);
    text += line;
    for (int k = 0; k < 3; ++k) {
      std::snprintf(line, sizeof line, "      vertex %.9g %.9g %.9g\n", f.v[3 * k], f.v[3 * k + 1],
                    f.v[3 * k + 2]);
      text += line;
    }
    text += "    endloop\n  endfacet\n";
  }
  return text + "endsolid " + name + "\n";
}

std::string SolidHeader(std::string bytes, const std::string& name) {
  std::string header = "solid " + name;
  header.resize(80, ' ');
  return bytes.replace(0, 80, header);
}

std::string AsciiBodies(const std::vector<TestFacet>& facets, size_t bodies, bool crlf) {
  std::string text;
  for (size_t b = 0; b < bodies; ++b) {
    const size_t from = facets.size() * b / bodies, to = facets.size() * (b + 1) / bodies;
    text += AsciiSTL({facets.begin() + from, facets.begin() + to}, "part" + std::to_string(b + 1));
  }
  if (!crlf) return text;
  std::string crlfText;
  for (char c : text) crlfText += c == '\n' ? "\r\n" : std::string(1, c);
  return crlfText;
}

bool ParseBinarySTL(const std::string& bytes, std::vector<TestFacet>* facets) {
  facets->clear();
  if (bytes.size() < 84) return false;
  auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  uint32_t count = GetLE32(p + 80);
  if (bytes.size() != 84 + 50ull * count) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const unsigned char* r = p + 84 + 50ull * i;
    TestFacet f;
    for (int k = 0; k < 3; ++k) f.n[k] = GetLEFloat(r + 4 * k);
    for (int k = 0; k < 9; ++k) f.v[k] = GetLEFloat(r + 12 + 4 * k);
    f.attribute = GetLE16(r + 48);
    facets->push_back(f);
  }
  return true;
}

std::string DescribeSTL(const std::string& bytes) {
  std::vector<TestFacet> facets;
  if (!ParseBinarySTL(bytes, &facets)) {
    return "not a well-formed binary STL (" + std::to_string(bytes.size()) + " bytes)\n";
  }
  std::string text = "count " + std::to_string(facets.size()) + "\n";
  char line[512];
  for (const auto& f : facets) {
    std::snprintf(line, sizeof line, "n %g %g %g | %g %g %g | %g %g %g | %g %g %g | %04x\n", f.n[0],
                  f.n[1], f.n[2], f.v[0], f.v[1], f.v[2], f.v[3], f.v[4], f.v[5], f.v[6], f.v[7],
                  f.v[8], f.attribute);
    text += line;
  }
  return text;
}

::testing::AssertionResult EqualSTL(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "STL files differ\nexpected:\n"
                                       << DescribeSTL(expected) << "actual:\n"
                                       << DescribeSTL(actual);
}
