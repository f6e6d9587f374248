// The word-by-word ZCP header reader of the ZCP to STL conversion: unlike the strict
// reader it skips comment and blank lines, takes any spacing and lines ending in a
// carriage return, and names each fault in its own message.
//
//   ReadWordHeader(source, &n, &m)   reads the header up to and including its
//                                    "end_header" line; n and m are both above 0.
//                                    Returns null, or the message of the first fault
//                                    (with its line feed: the program prints it as it
//                                    stands)
#pragma once

#include <cstdint>

struct PLYSource;
const char* ReadWordHeader(PLYSource* source, uint32_t* n, uint32_t* m);
