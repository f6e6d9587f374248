// Range lists: sets of small numbers written as text, such as "0-9,20,200-".
//
//   RangeList(list, max, table)   clears table[0..max], then sets to 1 every value the
//                                 list names; returns how many values are set
//
// The list is comma-separated items, empty items skipped: n, n-m (m >= n), n- (n to
// max), -m (0 to m) and - (0 to max), n and m runs of decimal digits not above max.
// Anything else ends the program with "bad range list." and status 1.
#pragma once

int RangeList(const char* list, int max, unsigned char* table);
