#include "zcpfiles.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <sstream>

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

namespace {

// A value of a PLY type in little-endian order: its bytes, how many.
size_t PLYBytes(const std::string& type, double v, unsigned char b[8]) {
  const int64_t i = static_cast<int64_t>(v);
  if (type == "char" || type == "uchar" || type == "int8" || type == "uint8") {
    b[0] = static_cast<unsigned char>(i);
    return 1;
  }
  if (type == "short" || type == "ushort" || type == "int16" || type == "uint16") {
    PutLE16(b, static_cast<uint16_t>(i));
    return 2;
  }
  if (type == "float" || type == "float32") {
    PutLEFloat(b, static_cast<float>(v));
    return 4;
  }
  if (type == "double" || type == "float64") {
    const auto bits = std::bit_cast<uint64_t>(v);
    PutLE32(b, static_cast<uint32_t>(bits));
    PutLE32(b + 4, static_cast<uint32_t>(bits >> 32));
    return 8;
  }
  PutLE32(b, static_cast<uint32_t>(i));  // int, uint
  return 4;
}

}  // namespace

std::string PLYFile(const std::string& format, const std::string& elements,
                    const PLYValues& value) {
  struct Property {
    std::string name, type, countType;  // countType empty: a scalar
  };
  struct Element {
    std::string name;
    uint32_t count;
    std::vector<Property> properties;
  };
  std::vector<Element> table;
  std::istringstream lines(elements);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string first, a, b, c, d;
    words >> first >> a >> b >> c >> d;
    if (first == "element") table.push_back({a, static_cast<uint32_t>(std::stoul(b)), {}});
    if (first == "property" && a == "list") table.back().properties.push_back({d, c, b});
    if (first == "property" && a != "list") table.back().properties.push_back({b, a, ""});
  }
  std::string bytes = "ply\nformat " + format + " 1.0\n" + elements + "end_header\n";
  const bool ascii = format == "ascii", big = format == "binary_big_endian";
  for (const Element& e : table) {
    for (uint32_t row = 0; row < e.count; ++row) {
      for (const Property& p : e.properties) {
        const std::vector<double> v = value(e.name, p.name, row);
        for (size_t k = 0; k < v.size(); ++k) {
          if (ascii) {
            char text[40];
            std::snprintf(text, sizeof text, "%.9g ", v[k]);
            bytes += text;
            continue;
          }
          unsigned char b[8];
          const size_t size =
              PLYBytes(k == 0 && !p.countType.empty() ? p.countType : p.type, v[k], b);
          for (size_t j = 0; j < size; ++j) bytes += static_cast<char>(b[big ? size - 1 - j : j]);
        }
      }
      if (ascii) bytes += "\n";
    }
  }
  return bytes;
}
