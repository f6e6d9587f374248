#include "solver/simplex.h"

#include <vector>

namespace {

// Coordinates live in elements 1..n of a vertex, the value in element 0.
void Copy(int n, const double* from, double* to) {
  for (int i = 0; i <= n; ++i) to[i] = from[i];
}

}  // namespace

void Simplex(int n, double* const* v, SimplexObjective objective, int iterations, double* result) {
  for (int k = 0; k <= n; ++k) objective(v[k]);
  std::vector<double> p(n + 1), old(n + 1);

  for (int step = 0; step < iterations; ++step) {
    // The best (lo) and the worst (hi) vertex; both scans start at vertex 0, and a
    // vertex taken as the new lo is not also tried as hi.
    int lo = 0, hi = 0;
    for (int i = 1; i <= n; ++i) p[i] = 0;
    for (int k = 0; k <= n; ++k) {
      if (v[k][0] < v[lo][0]) {
        lo = k;
      } else if (v[k][0] > v[hi][0]) {
        hi = k;
      }
      for (int i = 1; i <= n; ++i) p[i] += v[k][i];
    }
    double* worst = v[hi];
    const double* best = v[lo];

    // Reflect the worst vertex through the centroid of the others.
    for (int i = 1; i <= n; ++i) p[i] = 2 * (p[i] - worst[i]) / n - worst[i];
    objective(p.data());

    if (p[0] <= best[0]) {
      // Better than the best: keep it, then try twice as far along the same line.
      Copy(n, worst, old.data());
      Copy(n, p.data(), worst);
      for (int i = 1; i <= n; ++i) p[i] = (3 * p[i] - old[i]) / 2;
      objective(p.data());
      if (p[0] < best[0]) Copy(n, p.data(), worst);
      continue;
    }

    // Contract: a quarter of the way back from the reflected point when it beats the
    // worst vertex, else a quarter of the way out from the worst vertex.
    if (p[0] < worst[0]) {
      for (int i = 1; i <= n; ++i) p[i] = (3 * p[i] + worst[i]) / 4;
    } else {
      for (int i = 1; i <= n; ++i) p[i] = (p[i] + 3 * worst[i]) / 4;
    }
    objective(p.data());
    if (p[0] < worst[0]) {
      Copy(n, p.data(), worst);
      continue;
    }

    // Nothing better along that line: shrink the simplex halfway towards the best.
    for (int k = 0; k <= n; ++k) {
      if (k == lo) continue;
      for (int i = 1; i <= n; ++i) v[k][i] = (v[k][i] + best[i]) / 2;
      objective(v[k]);
    }
  }

  int lo = 0;
  for (int k = 1; k <= n; ++k) {
    if (v[k][0] < v[lo][0]) lo = k;
  }
  Copy(n, v[lo], result);
}
