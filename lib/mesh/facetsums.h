// The sums over a model's facets that its measures are made of, with c the cross
// product (v2 - v1) x (v3 - v1) of each facet (FacetCross).
//
//   SumFacets(reader)    scans a set-up reader to its end (ReportSTLEnd then tells
//                        how it ended) and gives
//     count              the facets read
//     area               the sum of |c|: twice the surface area
//     volume             the sum of v1 . c: six times the signed volume enclosed with
//                        the origin, positive for a closed surface whose normals point
//                        outward
//     sx, sy, sz         the sum of c: twice the closure sum, 0 for a closed surface
//                        whose facets all turn the same way, up to rounding
// Each term is taken in extended precision and added in doubles.
// Defined here rather than in a source of its own, so that it scans with the reader's
// build the program is linked with.
#pragma once

#include "mesh/facetcross.h"
#include "mesh/stl.h"

struct FacetSums {
  long long count = 0;
  double area = 0, volume = 0;
  double sx = 0, sy = 0, sz = 0;
};

inline FacetSums SumFacets(STLReader* reader) {
  FacetSums s;
  float v[9];
  while (ScanSTLCorners(reader, v) == 1) {
    ++s.count;
    const Cross c = FacetCross(v);
    s.area += static_cast<double>(Length(c));
    s.volume += static_cast<double>(v[0] * c.x + v[1] * c.y + v[2] * c.z);
    s.sx += static_cast<double>(c.x);
    s.sy += static_cast<double>(c.y);
    s.sz += static_cast<double>(c.z);
  }
  return s;
}
