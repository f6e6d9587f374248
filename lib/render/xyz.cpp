#include "render/xyz.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "mesh/facetcross.h"

// View coordinates: h to the right, v upward, d toward the viewer. Pixel coordinates:
// column = trunc((h - h0) Sh + 0.5), row = trunc((v - v0) Sv + 0.5) and
// depth = trunc((d - d0) Sd + 0.5), so the box handed to XYZInit covers columns
// 0..Ni-1, rows 0..Nj-1 and depths 0..65535.

namespace {

constexpr int kNearest = 65535;
// Pixel coordinates are drawn only within +-2^28: beyond that no picture reaches, and
// within it the products of the triangle's area and edge functions fit in 64 bits.
constexpr double kReach = 268435456.0;
// Triangles whose bounding box spans at most this many pixels (width x height, less
// one each) are searched box-wide rather than span by span.
constexpr int64_t kSmall = 64;
// Depth extents up to this fraction of the box's largest coordinate are rounding.
constexpr double kRounding = 1e-12;

int Ni, Nj;       // picture width and height
int spans;        // entries of ijMin and ijMax: max(Ni, Nj)
uint16_t* depth;  // Nj rows of Ni values, row r at depth + r * Ni; 0 = nothing
int* ijMin;       // span limits of the triangle being filled
int* ijMax;
double* hAt;                            // h of each column's centre: c / Sh + h0
double* vAt;                            // v of each row's centre: r / Sv + v0
double hx, hy, vx, vy, vz, dx, dy, dz;  // the view axes
double h0, v0, d0;                      // minima of h, v, d over the box
double Sh, Sv, Sd;                      // pixels per world unit; 0 where the box has no extent
bool flat;                              // no depth extent: every point is at the nearest depth
PixelFunction Store;

// XYZSide's direction and its sines and cosines.
double sideLon = 0, sideLat = 0, sinLon = 0, cosLon = 1, sinLat = 0, cosLat = 1;

struct Pixel {
  int c, r, q;
};

struct Axes {
  double hx, hy, vx, vy, vz, dx, dy, dz;
};

Axes ViewAxes(double lon, double lat) {
  const double cl = std::cos(lon), sl = std::sin(lon), ca = std::cos(lat), sa = std::sin(lat);
  return {-sl, cl, -cl * sa, -sl * sa, ca, cl * ca, sl * ca, sa};
}

// The eight corners of a box, x varying fastest.
struct Corners {
  double x[8], y[8], z[8];
  Corners(double xmin, double ymin, double zmin, double xmax, double ymax, double zmax) {
    for (int i = 0; i < 8; ++i) {
      x[i] = i & 1 ? xmax : xmin;
      y[i] = i & 2 ? ymax : ymin;
      z[i] = i & 4 ? zmax : zmin;
    }
  }
};

// Range of a*x + b*y + c*z over the first n corners.
void Span(const Corners& k, int n, double a, double b, double c, double* lo, double* hi) {
  *lo = *hi = k.x[0] * a + k.y[0] * b + k.z[0] * c;
  for (int i = 1; i < n; ++i) {
    const double t = k.x[i] * a + k.y[i] * b + k.z[i] * c;
    *lo = std::min(*lo, t);
    *hi = std::max(*hi, t);
  }
}

double Scale(double pixels, double extent) {
  const double s = pixels / extent;
  return extent > 0 && std::isfinite(s) ? s : 0;
}

inline int DepthValue(double q) {
  return q <= 0 ? 0 : q >= kNearest ? kNearest : static_cast<int>(q);
}

// A coordinate that is not finite never passes: x and y always enter h (hy = cos lon
// is never 0), z enters v (vz = cos lat is never 0), and inf times 0 is NaN.
inline bool Map(double x, double y, double z, Pixel* p) {
  const double h = x * hx + y * hy;
  const double v = x * vx + y * vy + z * vz;
  const double c = (h - h0) * Sh + 0.5;
  const double r = (v - v0) * Sv + 0.5;
  if (!(c > -kReach && c < kReach && r > -kReach && r < kReach)) return false;
  double q = kNearest;
  if (!flat) {
    q = (x * dx + y * dy + z * dz - d0) * Sd + 0.5;
    if (std::isnan(q)) return false;
  }
  p->c = static_cast<int>(c);
  p->r = static_cast<int>(r);
  p->q = DepthValue(q);
  return true;
}

// The depth test for a pixel inside the picture.
inline void Pass(int c, int r, int q) {
  uint16_t& cell = depth[static_cast<size_t>(r) * Ni + c];
  if (cell >= q) return;  // equal depths keep what came first; depth 0 never passes
  cell = static_cast<uint16_t>(q);
  if (Store == nullptr) return;
  const double h = hAt[c], v = vAt[r];
  const double d = Sd != 0 ? q / Sd + d0 : d0;
  Store(c, r, h * hx + v * vx + d * dx, h * hy + v * vy + d * dy, v * vz + d * dz);
}

inline void Test(int c, int r, int q) {
  if (c < 0 || c >= Ni || r < 0 || r >= Nj) return;
  Pass(c, r, q);
}

// Walks the digital line from (i0, j0) toward (i1, j1), the end left out, widening the
// span limits of every i it visits to take in j.
void Scan(int i0, int j0, int i1, int j1) {
  const int64_t di = std::abs(int64_t{i1} - i0), dj = std::abs(int64_t{j1} - j0);
  const int si = i0 < i1 ? 1 : -1, sj = j0 < j1 ? 1 : -1;
  int i = i0, j = j0;
  auto mark = [&] {
    if (i < 0 || i >= spans) return;
    if (j < ijMin[i]) ijMin[i] = j;
    if (j > ijMax[i]) ijMax[i] = j;
  };
  if (dj < di) {
    int64_t e = 2 * dj - di;
    while (i != i1) {
      mark();
      if (e >= 0) {
        j += sj;
        e += 2 * dj - 2 * di;
      } else {
        e += 2 * dj;
      }
      i += si;
    }
  } else {
    int64_t e = 2 * di - dj;
    while (j != j1) {
      mark();
      if (e >= 0) {
        i += si;
        e += 2 * di - 2 * dj;
      } else {
        e += 2 * di;
      }
      j += sj;
    }
  }
}

void Release() {
  std::free(depth);
  std::free(ijMin);
  std::free(ijMax);
  std::free(hAt);
  std::free(vAt);
  depth = nullptr;
  ijMin = ijMax = nullptr;
  hAt = vAt = nullptr;
}

}  // namespace

int XYZInit(int ni, int nj, double lon, double lat, double xmin, double ymin, double zmin,
            double xmax, double ymax, double zmax) {
  if (ni < 1 || nj < 1) return 0;
  Ni = ni;
  Nj = nj;
  spans = std::max(Ni, Nj);
  ijMin = static_cast<int*>(std::malloc(spans * sizeof(int)));
  ijMax = static_cast<int*>(std::malloc(spans * sizeof(int)));
  hAt = static_cast<double*>(std::malloc(Ni * sizeof(double)));
  vAt = static_cast<double*>(std::malloc(Nj * sizeof(double)));
  depth = static_cast<uint16_t*>(std::calloc(static_cast<size_t>(Ni) * Nj, sizeof(uint16_t)));
  if (ijMin == nullptr || ijMax == nullptr || hAt == nullptr || vAt == nullptr ||
      depth == nullptr) {
    Release();
    return 0;
  }

  const Axes a = ViewAxes(lon, lat);
  hx = a.hx;
  hy = a.hy;
  vx = a.vx;
  vy = a.vy;
  vz = a.vz;
  dx = a.dx;
  dy = a.dy;
  dz = a.dz;

  const Corners k(xmin, ymin, zmin, xmax, ymax, zmax);
  double hmax, vmax, dmax;
  Span(k, 4, hx, hy, 0, &h0, &hmax);
  Span(k, 8, vx, vy, vz, &v0, &vmax);
  Span(k, 8, dx, dy, dz, &d0, &dmax);
  Sh = Scale(Ni - 1, hmax - h0);
  Sv = Scale(Nj - 1, vmax - v0);
  for (int c = 0; c < Ni; ++c) hAt[c] = Sh != 0 ? c / Sh + h0 : h0;
  for (int r = 0; r < Nj; ++r) vAt[r] = Sv != 0 ? r / Sv + v0 : v0;
  // A box with no depth extent (a plate seen face-on) puts everything at the nearest
  // depth. An extent within the rounding of the view axes counts as none: seen from
  // 90 degrees up, cos is 6e-17 rather than 0, and the plate's far edge would fall on
  // depth 0, which is never drawn.
  const double reach = std::max({std::fabs(xmin), std::fabs(xmax), std::fabs(ymin), std::fabs(ymax),
                                 std::fabs(zmin), std::fabs(zmax)});
  flat = !(dmax - d0 > reach * kRounding);
  Sd = flat ? 0 : Scale(kNearest, dmax - d0);
  flat = Sd == 0;
  return 1;
}

void XYZTerm() { Release(); }

void XYZPlot(double x, double y, double z, PixelFunction store) {
  Pixel p;
  if (!Map(x, y, z, &p)) return;
  Store = store;
  Test(p.c, p.r, p.q);
}

void XYZDraw(double x1, double y1, double z1, double x2, double y2, double z2,
             PixelFunction store) {
  Pixel a, b;
  if (!Map(x1, y1, z1, &a) || !Map(x2, y2, z2, &b)) return;
  Store = store;
  if (a.c == b.c && a.r == b.r) {
    const Pixel& p = a.q > b.q ? a : b;  // the nearer end
    Test(p.c, p.r, p.q);
    return;
  }
  const int64_t dc = std::abs(int64_t{b.c} - a.c), dr = std::abs(int64_t{b.r} - a.r);
  const int sc = a.c < b.c ? 1 : -1, sr = a.r < b.r ? 1 : -1;
  const int64_t n = std::max(dc, dr);
  const double step = static_cast<double>(b.q - a.q) / static_cast<double>(n);
  double q = a.q + 0.5;
  int c = a.c, r = a.r;
  // The n + 1 pixels from a to b: every step moves the major coordinate by one, and
  // the minor one when the error term says the line has crossed to the next pixel.
  auto walk = [&](int& major, int sMajor, int64_t dMajor, int& minor, int sMinor, int64_t dMinor) {
    int64_t e = 2 * dMinor - dMajor;
    for (int64_t i = 0; i <= n; ++i) {
      Test(c, r, DepthValue(q));
      if (e >= 0) {
        minor += sMinor;
        e += 2 * dMinor - 2 * dMajor;
      } else {
        e += 2 * dMinor;
      }
      major += sMajor;
      q += step;
    }
  };
  if (dr < dc) {
    walk(c, sc, dc, r, sr, dr);  // columns are the major axis
  } else {
    walk(r, sr, dr, c, sc, dc);  // rows, also at 45 degrees
  }
}

void XYZFill(double x1, double y1, double z1, double x2, double y2, double z2, double x3, double y3,
             double z3, PixelFunction store) {
  Pixel p1, p2, p3;
  if (!Map(x1, y1, z1, &p1) || !Map(x2, y2, z2, &p2) || !Map(x3, y3, z3, &p3)) return;
  // 64-bit products: in 32 bits they overflow on pictures wider than about 46,000 pixels.
  const int64_t c1 = p1.c, r1 = p1.r, c2 = p2.c, r2 = p2.r, c3 = p3.c, r3 = p3.r;
  const int64_t A = c1 * r2 + c2 * r3 + c3 * r1 - c3 * r2 - c2 * r1 - c1 * r3;  // twice the area
  if (A == 0) return;  // edge-on, or collapsed onto a line of pixels

  // The depth plane through the three vertices.
  const double q1 = p1.q, q2 = p2.q, q3 = p3.q, a = static_cast<double>(A);
  const double Dc = (static_cast<double>(r1 - r2) * q3 + static_cast<double>(r3 - r1) * q2 +
                     static_cast<double>(r2 - r3) * q1) /
                    a;
  const double Dr = (static_cast<double>(c2 - c1) * q3 + static_cast<double>(c1 - c3) * q2 +
                     static_cast<double>(c3 - c2) * q1) /
                    a;
  const double D0 =
      (static_cast<double>(c1 * r2 - c2 * r1) * q3 + static_cast<double>(c3 * r1 - c1 * r3) * q2 +
       static_cast<double>(c2 * r3 - c3 * r2) * q1) /
          a +
      0.5;

  // Edge functions E = (c - ck) a + (r - rk) b, all >= 0 inside for either winding.
  const int64_t sign = A < 0 ? -1 : 1;
  const int64_t a1 = sign * (r1 - r2), b1 = sign * (c2 - c1);
  const int64_t a2 = sign * (r2 - r3), b2 = sign * (c3 - c2);
  const int64_t a3 = sign * (r3 - r1), b3 = sign * (c1 - c3);
  // The pixels of row r from column cs to ce that are inside, the depth stepped along.
  auto row = [&](int r, int cs, int ce) {
    int64_t e1 = (cs - c1) * a1 + (r - r1) * b1;
    int64_t e2 = (cs - c2) * a2 + (r - r2) * b2;
    int64_t e3 = (cs - c3) * a3 + (r - r3) * b3;
    double q = D0 + Dc * cs + Dr * r;
    for (int c = cs; c <= ce; ++c) {
      if ((e1 | e2 | e3) >= 0) Pass(c, r, DepthValue(q));
      e1 += a1;
      e2 += a2;
      e3 += a3;
      q += Dc;
    }
  };
  // The same down column c from row rs to re.
  auto column = [&](int c, int rs, int re) {
    int64_t e1 = (c - c1) * a1 + (rs - r1) * b1;
    int64_t e2 = (c - c2) * a2 + (rs - r2) * b2;
    int64_t e3 = (c - c3) * a3 + (rs - r3) * b3;
    double q = D0 + Dc * c + Dr * rs;
    for (int r = rs; r <= re; ++r) {
      if ((e1 | e2 | e3) >= 0) Pass(c, r, DepthValue(q));
      e1 += b1;
      e2 += b2;
      e3 += b3;
      q += Dr;
    }
  };

  const int cmin = std::min({p1.c, p2.c, p3.c}), cmax = std::max({p1.c, p2.c, p3.c});
  const int rmin = std::min({p1.r, p2.r, p3.r}), rmax = std::max({p1.r, p2.r, p3.r});
  if (cmax < 0 || rmax < 0 || cmin >= Ni || rmin >= Nj) return;  // wholly outside
  Store = store;

  if (static_cast<int64_t>(cmax - cmin) * (rmax - rmin) <= kSmall) {
    // A small triangle: its whole bounding box is searched. The spans below hold every
    // pixel the edge functions take in, so this draws the same pixels, sooner.
    for (int r = std::max(rmin, 0); r <= std::min(rmax, Nj - 1); ++r) {
      row(r, std::max(cmin, 0), std::min(cmax, Ni - 1));
    }
  } else if (rmax - rmin < cmax - cmin) {  // wider than tall: one span per column
    for (int c = std::max(cmin, 0); c <= std::min(cmax, spans - 1); ++c) {
      ijMin[c] = rmax;
      ijMax[c] = rmin;
    }
    Scan(p1.c, p1.r, p2.c, p2.r);
    Scan(p2.c, p2.r, p3.c, p3.r);
    Scan(p3.c, p3.r, p1.c, p1.r);
    for (int c = std::max(cmin, 0); c <= std::min(cmax, Ni - 1); ++c) {
      column(c, std::max(ijMin[c], 0), std::min(ijMax[c], Nj - 1));
    }
  } else {  // one span per row
    for (int r = std::max(rmin, 0); r <= std::min(rmax, spans - 1); ++r) {
      ijMin[r] = cmax;
      ijMax[r] = cmin;
    }
    Scan(p3.r, p3.c, p2.r, p2.c);
    Scan(p2.r, p2.c, p1.r, p1.c);
    Scan(p1.r, p1.c, p3.r, p3.c);
    for (int r = std::max(rmin, 0); r <= std::min(rmax, Nj - 1); ++r) {
      row(r, std::max(ijMin[r], 0), std::min(ijMax[r], Ni - 1));
    }
  }
}

namespace {

// The cosine between the triangle's normal and the direction (lon, lat) is
// top / sqrt(n2); n2 is 0 for a triangle without area.
void SideTerms(double lon, double lat, double x1, double y1, double z1, double x2, double y2,
               double z2, double x3, double y3, double z3, double* top, double* n2) {
  // A picture asks for every facet with the same direction: its sines and cosines are
  // worked out once.
  if (lon != sideLon || lat != sideLat || std::isnan(lon) || std::isnan(lat)) {
    sideLon = lon;
    sideLat = lat;
    sinLon = std::sin(lon);
    cosLon = std::cos(lon);
    sinLat = std::sin(lat);
    cosLat = std::cos(lat);
  }
  double n[3];
  EdgeCross(x2 - x1, y2 - y1, z2 - z1, x3 - x1, y3 - y1, z3 - z1, n);
  const double nx = n[0], ny = n[1], nz = n[2];
  *n2 = nx * nx + ny * ny + nz * nz;
  *top = sinLat * nz + (nx * cosLon + ny * sinLon) * cosLat;
}

}  // namespace

bool XYZFacing(double lon, double lat, double x1, double y1, double z1, double x2, double y2,
               double z2, double x3, double y3, double z3, double* side) {
  double top, n2;
  SideTerms(lon, lat, x1, y1, z1, x2, y2, z2, x3, y3, z3, &top, &n2);
  if (n2 == 0) {
    *side = 0;
    return true;
  }
  // Divided by a finite, positive length, a negative top stays negative.
  if (top < 0 && n2 < HUGE_VAL) return false;
  *side = top / std::sqrt(n2);
  return *side >= 0;
}

double XYZSide(double lon, double lat, double x1, double y1, double z1, double x2, double y2,
               double z2, double x3, double y3, double z3) {
  double top, n2;
  SideTerms(lon, lat, x1, y1, z1, x2, y2, z2, x3, y3, z3, &top, &n2);
  if (n2 == 0) return 0;
  return top / std::sqrt(n2);
}

void XYZWidth(double lon, double lat, double xmin, double ymin, double zmin, double xmax,
              double ymax, double zmax, double* width, double* height) {
  const Axes a = ViewAxes(lon, lat);
  const Corners k(xmin, ymin, zmin, xmax, ymax, zmax);
  double lo, hi;
  Span(k, 4, a.hx, a.hy, 0, &lo, &hi);
  *width = hi - lo;
  Span(k, 8, a.vx, a.vy, a.vz, &lo, &hi);
  *height = hi - lo;
}

double XYZRatio(double lon, double lat, double xmin, double ymin, double zmin, double xmax,
                double ymax, double zmax) {
  double width, height;
  XYZWidth(lon, lat, xmin, ymin, zmin, xmax, ymax, zmax, &width, &height);
  return height / width;
}

void XYZShade(double lon, double lat, ShadeFunction shade) {
  if (depth == nullptr || Ni < 2 || Nj < 2) return;
  const double lx = std::cos(lon) * std::cos(lat), ly = std::sin(lon) * std::cos(lat),
               lz = std::sin(lat);
  auto at = [](int c, int r) -> double { return depth[static_cast<size_t>(r) * Ni + c]; };
  for (int r = 0; r < Nj; ++r) {
    for (int c = 0; c < Ni; ++c) {
      if (at(c, r) == 0) continue;
      // Slopes of the depth in depth units per world unit; undrawn neighbours count
      // as 0, so a silhouette is steep. A flat box has no depth scale: no slope.
      double gh = 0, gv = 0;
      if (Sd != 0) {
        if (c == 0) {
          gh = at(1, r) * Sh / Sd;
        } else if (c == Ni - 1) {
          gh = -at(c - 1, r) * Sh / Sd;
        } else {
          gh = (at(c + 1, r) - at(c - 1, r)) * 0.5 * Sh / Sd;
        }
        if (r == 0) {
          gv = at(c, 1) * Sv / Sd;
        } else if (r == Nj - 1) {
          gv = -at(c, r - 1) * Sv / Sd;
        } else {
          gv = (at(c, r + 1) - at(c, r - 1)) * 0.5 * Sv / Sd;
        }
      }
      const double nx = dx - gh * hx - gv * vx, ny = dy - gh * hy - gv * vy, nz = dz - gv * vz;
      const double s = nx * lx + ny * ly + nz * lz;
      shade(c, r, s > 0 ? s / std::sqrt(nx * nx + ny * ny + nz * nz) : 0);
    }
  }
}
