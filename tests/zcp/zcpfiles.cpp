#include "zcpfiles.h"

#include <cstdio>

#include "common/bytes.h"

std::string ZCPHeader(uint64_t n, uint64_t m) {
  return "ply\nformat binary_little_endian 1.0\nelement vertex " + std::to_string(n) +
         "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
         std::to_string(m) +
         "\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
         "property list uchar int vertex_indices\nend_header\n";
}

std::string ZCPFile(const std::vector<float>& xyz, const std::vector<TestFace>& faces) {
  std::string bytes = ZCPHeader(xyz.size() / 3, faces.size());
  unsigned char b[4];
  for (float v : xyz) {
    PutLEFloat(b, v);
    bytes.append(reinterpret_cast<char*>(b), 4);
  }
  for (const TestFace& f : faces) {
    bytes += static_cast<char>(f.r);
    bytes += static_cast<char>(f.g);
    bytes += static_cast<char>(f.b);
    bytes += static_cast<char>(f.count);
    for (uint32_t i : f.i) {
      PutLE32(b, i);
      bytes.append(reinterpret_cast<char*>(b), 4);
    }
  }
  return bytes;
}

bool ParseZCP(const std::string& bytes, std::vector<float>* xyz, std::vector<TestFace>* faces) {
  unsigned long n, m;
  int used = 0;
  if (std::sscanf(bytes.c_str(),
                  "ply\nformat binary_little_endian 1.0\nelement vertex %lu\nproperty float x\n"
                  "property float y\nproperty float z\nelement face %lu\nproperty uchar red\n"
                  "property uchar green\nproperty uchar blue\n"
                  "property list uchar int vertex_indices\nend_header%n",
                  &n, &m, &used) != 2 ||
      used == 0 || bytes[used] != '\n') {
    return false;
  }
  size_t at = static_cast<size_t>(used) + 1;
  if (bytes.size() != at + 12 * n + 16 * m) return false;
  auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  xyz->clear();
  faces->clear();
  for (size_t k = 0; k < 3 * n; ++k, at += 4) xyz->push_back(GetLEFloat(p + at));
  for (size_t k = 0; k < m; ++k, at += 16) {
    faces->push_back({p[at],
                      p[at + 1],
                      p[at + 2],
                      {GetLE32(p + at + 4), GetLE32(p + at + 8), GetLE32(p + at + 12)},
                      p[at + 3]});
  }
  return true;
}

std::string DescribeZCP(const std::string& bytes) {
  std::vector<float> xyz;
  std::vector<TestFace> faces;
  if (!ParseZCP(bytes, &xyz, &faces))
    return "(not a whole ZCP file: " + std::to_string(bytes.size()) + " bytes)\n";
  std::string text =
      std::to_string(xyz.size() / 3) + " vertices, " + std::to_string(faces.size()) + " faces\n";
  char line[160];
  for (size_t k = 0; k < xyz.size(); k += 3) {
    std::snprintf(line, sizeof line, "  v%zu %g %g %g\n", k / 3, xyz[k], xyz[k + 1], xyz[k + 2]);
    text += line;
  }
  for (const TestFace& f : faces) {
    std::snprintf(line, sizeof line, "  f %u %u %u  colour %d %d %d  count %d\n", f.i[0], f.i[1],
                  f.i[2], f.r, f.g, f.b, f.count);
    text += line;
  }
  return text;
}

::testing::AssertionResult EqualZCP(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected:\n"
                                       << DescribeZCP(expected) << "actual:\n"
                                       << DescribeZCP(actual);
}
