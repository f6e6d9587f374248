// Test-only reference copies of the two LZW encoders as they were before the writers
// shared one string table: a 9001-slot open-addressed hash table each. The tests
// compare the writers' bytes with these, so that a faster table cannot change a bit.
//
//   ReferenceGifLZW(pixels)   the GIF image data for pixels in row order: the minimum
//                             code size byte 8, the data sub-blocks, the terminator
//   ReferenceTiffStrip(bytes) one TIFF LZW strip for the bytes of its rows
#pragma once

#include <string>
#include <vector>

std::string ReferenceGifLZW(const std::vector<unsigned char>& pixels);
std::string ReferenceTiffStrip(const std::vector<unsigned char>& bytes);
