// The word-by-word ZCP header reader of the ZCP to STL conversion: unlike the strict
// reader it skips comment and blank lines, takes any spacing and lines ending in a
// carriage return, and names each fault in its own message.
//
//   ReadWordHeader(stream, &n, &m)   reads the header up to and including its
//                                    "end_header" line; n and m are both above 0.
//                                    Any fault prints its message and ends the
//                                    program with status 1 (through ExitProgram)
#pragma once

#include <cstdint>
#include <cstdio>

void ReadWordHeader(FILE* stream, uint32_t* n, uint32_t* m);
