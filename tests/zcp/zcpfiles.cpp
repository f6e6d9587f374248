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

// A value of a PLY type appended in the file's byte order.
void AppendPLYValue(std::string* bytes, const std::string& type, double v, bool big) {
  auto bits = static_cast<uint64_t>(static_cast<int64_t>(v));
  size_t size = 4;  // int, uint and their other names
  if (type == "float" || type == "float32") {
    bits = std::bit_cast<uint32_t>(static_cast<float>(v));
  } else if (type == "double" || type == "float64") {
    bits = std::bit_cast<uint64_t>(v);
    size = 8;
  } else if (type.find("char") != std::string::npos || type.find("int8") != std::string::npos) {
    size = 1;
  } else if (type.find("short") != std::string::npos || type.find("int16") != std::string::npos) {
    size = 2;
  }
  for (size_t k = 0; k < size; ++k) {
    *bytes += static_cast<char>(bits >> 8 * (big ? size - 1 - k : k));
  }
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
          AppendPLYValue(&bytes, k == 0 && !p.countType.empty() ? p.countType : p.type, v[k], big);
        }
      }
      if (ascii) bytes += "\n";
    }
  }
  return bytes;
}

RunResult RunInLittleMemory(const std::string& program, const std::vector<std::string>& args,
                            const std::string& dir) {
#if defined(__SANITIZE_ADDRESS__)
  std::string command = ProgramPath(program);
#else
  std::string command = "ulimit -v 40000 && " + ProgramPath(program);
#endif
  for (const auto& a : args) command += " " + a;
  return RunCommand({"/bin/sh", "-c", command}, "", dir);
}
