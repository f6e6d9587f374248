// The colour reduction behind StoreGIF_RGB, open to its tests.
//
//   ColourNode                  one distinct colour of a picture: its key (red in byte 0,
//                               green in byte 1, blue in byte 2), its pixel count (replaced
//                               by its colour table index once the table is made) and the
//                               next node of its bucket
//   ReduceColours(nodes, n, table)
//                               cuts the colour cube into boxes, most populous first, until
//                               there are 250 or more or none can be cut; writes each box's
//                               pixel-weighted mean as red, green, blue bytes to table and
//                               its index into the nodes of the box; returns the number of
//                               entries (at most 256). The order of nodes[] changes.
#pragma once

#include <cstdint>

struct ColourNode {
  uint32_t key;
  uint32_t count;
  ColourNode* next;
};

int ReduceColours(ColourNode** nodes, uint32_t n, unsigned char table[768]);
