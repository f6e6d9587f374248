// Lists of coloured polylines read from text.
//
//   Polyline              one polyline: count points (at least 1) in xs, ys, zs, its
//                         colour as read (red, green, blue), the next polyline or null
//   ReadPolylines(stream) the list of all polylines of the stream; null when it holds
//                         none, when a colour or point is incomplete or when memory runs
//                         out
//   FreeLine(list)        releases a list
//
// The text, numbers separated by any white space, repeats: a point count N (0 or less,
// or the end of the input, ends the list), three integers red green blue, then N
// points x y z.
#pragma once

#include <cstdio>

struct Polyline {
  int count;
  int red, green, blue;
  float* xs;
  float* ys;
  float* zs;
  Polyline* next;
};

Polyline* ReadPolylines(FILE* stream);
void FreeLine(Polyline* list);
