// The binary reader takes its winding decision in double arithmetic where that is safe;
// this compares every facet delivered, and the normal ScanSTLBlock gives it, with the
// order and the normal taken the long way, in extended precision, over millions of
// random and hostile facets.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "mesh/stl.h"
#include "support/stlfiles.h"

namespace {

// The reference: the unit normal of (v2 - v1) x (v3 - v1) in long double, stored as
// doubles (which ScanSTLBlock narrows to floats), and the facet turned when the stored normal's
// cosine with it is below -0.1.
void ReferenceNormal(const float v[9], double c[3]) {
  const long double ux = static_cast<long double>(v[3]) - v[0],
                    uy = static_cast<long double>(v[4]) - v[1],
                    uz = static_cast<long double>(v[5]) - v[2];
  const long double vx = static_cast<long double>(v[6]) - v[0],
                    vy = static_cast<long double>(v[7]) - v[1],
                    vz = static_cast<long double>(v[8]) - v[2];
  const long double cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
  const long double length = std::sqrt(cx * cx + cy * cy + cz * cz);
  c[0] = static_cast<double>(cx / length);
  c[1] = static_cast<double>(cy / length);
  c[2] = static_cast<double>(cz / length);
}

bool ReferenceTurns(const float n[3], const float v[9]) {
  double c[3];
  ReferenceNormal(v, c);
  const long double dot = static_cast<long double>(n[0]) * c[0] +
                          static_cast<long double>(n[1]) * c[1] +
                          static_cast<long double>(n[2]) * c[2];
  const long double stored =
      std::sqrt(static_cast<long double>(n[0]) * n[0] + static_cast<long double>(n[1]) * n[1] +
                static_cast<long double>(n[2]) * n[2]);
  return dot / stored < -0.1L;
}

// Facet generators, each drawing one hostile kind.
struct Maker {
  std::mt19937_64 random{20261208};

  double Uniform(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  }
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); }
  float Bits() { return std::bit_cast<float>(static_cast<uint32_t>(random())); }
  // Any finite float magnitude, from the subnormals up, either sign.
  float AnyScale() { return static_cast<float>(std::ldexp(Uniform(-1, 1), Int(-150, 127))); }

  // The stored normal at the given cosine with the facet's normal, times a scale; the
  // float rounding leaves it within about 1e-7 of that cosine.
  void NormalAt(TestFacet* t, double cosine, double scale) {
    const float* v = t->v;
    const double u[3] = {double{v[3]} - v[0], double{v[4]} - v[1], double{v[5]} - v[2]};
    const double w[3] = {double{v[6]} - v[0], double{v[7]} - v[1], double{v[8]} - v[2]};
    double c[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    const double lc = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    const double lu = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    const double side = std::sqrt(1 - cosine * cosine);
    for (int i = 0; i < 3; ++i) {
      t->n[i] = static_cast<float>(scale * (cosine * c[i] / lc + side * u[i] / lu));
    }
  }

  TestFacet Make(int kind) {
    TestFacet t{};
    float* v = t.v;
    switch (kind) {
      case 0:  // ordinary facets with random stored normals
        for (float& x : t.v) x = static_cast<float>(Uniform(-10, 10));
        for (float& x : t.n) x = static_cast<float>(Uniform(-1, 1));
        break;
      case 1:  // every bit pattern: NaN, infinities, subnormals, negative zeros
        for (float& x : t.v) x = Bits();
        for (float& x : t.n) x = Bits();
        if (Int(0, 1)) std::memcpy(v + 3 * Int(1, 2), v, 3 * sizeof(float));
        break;
      case 2: {  // huge and tiny exponents, facets and normals alike
        const int e = Int(-150, 127);
        for (float& x : t.v) x = static_cast<float>(std::ldexp(Uniform(-1, 1), e - Int(0, 30)));
        for (float& x : t.n) x = AnyScale();
        break;
      }
      case 3: {  // nearly degenerate: vertex 3 a few ulps off the line through 1 and 2
        for (int i = 0; i < 6; ++i)
          v[i] = static_cast<float>(Uniform(-1, 1) * std::ldexp(1.0, Int(-20, 20)));
        const double s = Uniform(-2, 2);
        for (int i = 0; i < 3; ++i) {
          float x = static_cast<float>(v[i] + s * (v[3 + i] - v[i]));
          for (int k = Int(-2, 2); k != 0; k += k > 0 ? -1 : 1)
            x = std::nextafter(x, k > 0 ? INFINITY : -INFINITY);
          v[6 + i] = x;
        }
        for (float& x : t.n) x = static_cast<float>(Uniform(-1, 1));
        break;
      }
      case 4: {  // stored normals at a cosine of -0.1 or close, of any length
        const double offset = Int(0, 1) ? 0 : std::ldexp(Uniform(-1, 1), Int(-40, -3));
        for (float& x : t.v) x = static_cast<float>(Uniform(-1, 1) * 100);
        NormalAt(&t, -0.1 + offset, std::ldexp(1.0, Int(-120, 120)));
        break;
      }
      case 5: {  // a small facet far from the origin: large cancellation in the edges
        const double far = std::ldexp(Uniform(0.5, 1), Int(10, 60));
        for (int i = 0; i < 3; ++i) v[i] = static_cast<float>(far + Uniform(-1, 1));
        for (int i = 3; i < 9; ++i)
          v[i] = std::nextafter(v[i % 3], Int(0, 1) ? INFINITY : -INFINITY);
        for (int i = 3; i < 9; ++i)
          if (Int(0, 2) == 0) v[i] = v[i % 3];
        for (float& x : t.n) x = static_cast<float>(Uniform(-1, 1));
        break;
      }
      case 6: {  // axis-aligned facets on a grid, stored normals nearly in their plane
        for (float& x : t.v) x = static_cast<float>(Int(-3, 3)) * (Int(0, 9) == 0 ? -0.0f : 0.5f);
        for (int i = 0; i < 9; i += 3) v[i + Int(0, 2)] = 0;
        t.n[0] = static_cast<float>(Uniform(-1, 1));
        t.n[1] = static_cast<float>(Uniform(-1, 1));
        t.n[2] = static_cast<float>(std::ldexp(Uniform(-1, 1), Int(-30, 0)));
        break;
      }
      default: {  // vertices spread over exponents, stored normal a sliver from perpendicular
        for (float& x : t.v) x = static_cast<float>(std::ldexp(Uniform(-1, 1), Int(-60, 60)));
        NormalAt(&t, std::ldexp(Uniform(-1, 1), Int(-30, -1)), std::ldexp(1.0, Int(-100, 100)));
        break;
      }
    }
    return t;
  }
};

constexpr int kKinds = 8;
constexpr size_t kPerFile = 1 << 16;
constexpr int kFiles = 40;  // 2,621,440 facets

TEST(WindingBlocks, DoubleDecisionAndNormalMatchTheExtendedOnesOnMillionsOfFacets) {
  Maker maker;
  std::vector<TestFacet> facets(kPerFile);
  size_t turned = 0, total = 0;
  for (int file = 0; file < kFiles; ++file) {
    for (size_t i = 0; i < kPerFile; ++i)
      facets[i] = maker.Make(static_cast<int>((i + file) % kKinds));
    const std::string bytes = BinarySTL(facets);
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    STLReader r;
    ASSERT_EQ(SetUpSTL(&r, f), 1);
    float b[12];  // normal, then the vertices as delivered
    float* v = b + 3;
#if defined(MESHPIX_STL_ATTRIBUTE)
    int16_t attribute;
#define SCAN ScanSTLBlock(&r, b, &attribute)
#else
#define SCAN ScanSTLBlock(&r, b)
#endif
    size_t mismatches = 0;
    for (size_t i = 0; i < kPerFile; ++i) {
      ASSERT_EQ(SCAN, 1);
      const TestFacet& t = facets[i];
      const bool turn = ReferenceTurns(t.n, t.v);
      float expected[9];
      std::memcpy(expected, t.v, sizeof expected);
      if (turn) {
        std::memcpy(expected + 3, t.v + 6, 3 * sizeof(float));
        std::memcpy(expected + 6, t.v + 3, 3 * sizeof(float));
      }
      double reference[3];
      ReferenceNormal(expected, reference);
      const float normal[3] = {static_cast<float>(reference[0]), static_cast<float>(reference[1]),
                               static_cast<float>(reference[2])};
      turned += turn;
      // Bit for bit, the signs of zeros included; a not-a-number only as such, since
      // which operand's payload x87 passes on depends on how each copy was compiled.
      bool same = std::memcmp(expected, v, sizeof expected) == 0;
      for (int k = 0; k < 3; ++k) {
        same = same && (std::isnan(normal[k]) ? std::isnan(b[k])
                                              : std::memcmp(&normal[k], &b[k], sizeof(float)) == 0);
      }
      if (!same && ++mismatches <= 5) {
        ADD_FAILURE() << "facet " << i << " of file " << file << " (kind " << (i + file) % kKinds
                      << "): expected " << (turn ? "turned" : "kept") << " with normal "
                      << normal[0] << " " << normal[1] << " " << normal[2] << ", got " << b[0]
                      << " " << b[1] << " " << b[2] << ", n = " << t.n[0] << " " << t.n[1] << " "
                      << t.n[2];
      }
    }
    EXPECT_EQ(SCAN, 0);
#undef SCAN
    std::fclose(f);
    EXPECT_EQ(mismatches, 0u);
    total += kPerFile;
  }
  // Both outcomes are well represented, so neither side of the decision goes untested.
  EXPECT_GT(turned, total / 10);
  EXPECT_LT(turned, total - total / 10);
}

}  // namespace

// CalcNormalFloat decides in double arithmetic unless a float rounding boundary is
// too near to tell. Facets (0 0 0) (0 0 1) (B -A 0) have the normal (A, B, 0) / |.|,
// whose first component A / sqrt(A^2 + B^2) is the midpoint m between two floats just
// below 1 when B / A = sqrt(1 / m^2 - 1); with A drawn at random and B the floats next
// to A times that ratio, a good share of the facets comes within 2^-53 of m, where the
// double path's own rounding (about 2^-52) would pick the wrong float unless the
// fallback catches it. Axes are permuted and signs flipped, so every component and
// both signs take their turn.
TEST(WindingBlocks, FloatNormalNextToRoundingBoundariesMatchesTheExtendedOne) {
  std::mt19937_64 random{20261208};
  size_t mismatches = 0, facets = 0;
  for (int k = 0; k < 10; ++k) {
    const long double m = 1 - (2 * k + 1) * std::ldexp(1.0L, -25);
    const long double ratio = std::sqrt(1 / (m * m) - 1);
    for (int trial = 0; trial < 2000; ++trial) {
      const float a = static_cast<float>(std::uniform_real_distribution<double>(1, 2)(random));
      float b = std::nextafter(std::nextafter(static_cast<float>(a * ratio), 0.0f), 0.0f);
      for (int step = 0; step < 5; ++step, b = std::nextafter(b, INFINITY)) {
        for (int turn = 0; turn < 6; ++turn) {  // which axis the normal is near, and its sign
          const int x = turn % 3, y = (x + 1) % 3, z = (x + 2) % 3;
          float v[9] = {};
          v[3 + z] = turn < 3 ? 1.0f : -1.0f;
          v[6 + x] = b;
          v[6 + y] = -a;
          double reference[3];
          CalcNormal(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], &reference[0],
                     &reference[1], &reference[2]);
          float n[3];
          CalcNormalFloat(v, n);
          ++facets;
          for (int i = 0; i < 3; ++i) {
            const float expected = static_cast<float>(reference[i]);
            if (std::memcmp(&expected, &n[i], sizeof(float)) != 0 && ++mismatches <= 5) {
              ADD_FAILURE() << "a = " << a << " b = " << b << " axis " << turn << " component " << i
                            << ": expected " << expected << ", got " << n[i];
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0u) << "of " << facets << " facets";
}
