// Reading GIF87a and GIF89a files: bytes and blocks, colour tables, LZW images.
//
//   SetGIFInput(stream)      the stream every reader below takes its bytes from
//   Get()                    the next byte; "byte read error." at the end of the input
//   GetWord()                a 16-bit little-endian number
//   Skip(n)                  n bytes read and dropped
//   GetBlock(buffer)         one sub-block (a length byte, then that many bytes) into a
//                            buffer of 255 bytes; its length, 0 for the terminator
//   SkipBlock()              sub-blocks up to and including the terminator
//   CheckMagic(name)         "GIF87a" or "GIF89a", else "NAME : bad magic number." (the
//                            message alone without a name); starts a file
//   NextImage(&box)          blocks up to the next image: true with its position and size
//                            read (the flags byte is next), false at the trailer ";", or
//                            at the end of the file where a block would start once an
//                            image has been read (the caller reads each image whole
//                            before it asks for the next)
//   NextImage(&box, &extensions)
//                            the same, with what the extensions before the image say kept
//                            in the caller's record: its graphic control, and the file's
//                            loop count once a loop extension has come
//   box.Clipped(window)      the part of an image within a box of the logical screen (the
//                            screen itself, {0, 0, w, h}, or a crop window); the rest of it
//                            is decoded and dropped by the programs that draw or measure
//   GetCodeSize()            the LZW minimum code size; "bad code size." outside 2..11
//   ColourResolution(flags), TableBits(flags)
//                            res and the table size exponent s of a flags byte
//   ScaleColourTable(res, bytes, count)
//                            one stored colour table brought to 8 bits, in place
//   GetCM(res, s, red, green, blue, R, G, B)
//                            table into three 8-bit tables; the highest index of (R, G, B)
//   ReadCM(res, s, red, green, blue)
//                            table into three 8-bit tables, or into three 16-bit tables
//                            (then the fewest bits of 1, 2, 4 and 8 that hold every index
//                            of a table of 2^s entries)
//   GetLUT(res, s, inRed, inGreen, inBlue, inside, selection)
//                            table into a selection table: selection[i] is 1 for an entry
//                            i of the table whose 8-bit red, green and blue all have a
//                            non-zero flag in inRed, inGreen and inBlue (inside), or not
//                            all (!inside); 0 for the other entries and past the table
//   DecodeImage(left, top, W, H, interlace, m, screen)
//                            one image into the screen plane at (left, top)
//   DecodeImage(W, H, interlace, m, sink, context)
//                            one image handed over row by row, in the order the rows are
//                            stored: sink(y, row, context) with y the image row and row
//                            its W indices (valid during the call)
//   DecodeImage(W, H, interlace, m)
//                            one image as a new index picture
//   DecodeImage(W, H, interlace, m, red, green, blue, &grey)
//                            one image as a new true-colour picture; grey is 1 when every
//                            pixel has red = green = blue
//   MakePlane(&plane, width, height)
//                            a zeroed plane of bytes; false when memory runs out
//
// The readers above share one stream, set by SetGIFInput, read through the block reader
// below with a record of this module's own. A caller that walks or copies the blocks of
// a file itself keeps its own record instead:
//   GIFBlocks in{stream, path, "unexpected end of file."};
//                            a short read ends the program with "PATH : MESSAGE" (the
//                            message alone when path is null); the caller changes the
//                            message as it goes from one part of the file to the next
//   ReadByte(&in), ReadWord(&in)
//                            a byte; a 16-bit little-endian number
//   ReadBytes(&in, buffer, n), SkipBytes(&in, n)
//                            n bytes into the buffer; n bytes read and dropped
//   ReadSignature(&in, bytes, n, message)
//                            the first n (at least 6) bytes of a file; "GIF87a" or
//                            "GIF89a" first, else the program ends with message; starts
//                            the count of images
//   NextBlock(&in)           the introducer of the next block (",", "!" or any other
//                            byte); the trailer ";" also for the end of the file where a
//                            block would start once an image has begun (some writers leave
//                            the trailer out)
//   ReadSubBlock(&in, buffer)
//                            one sub-block into a buffer of 255 bytes; its length, 0 for
//                            the terminator
//   CopySubBlocks(&in, out)  sub-blocks up to and including the terminator, copied to out
//                            (dropped when out is null), for the programs that copy images
//                            without decoding them
//   FailGIF(in, message)     the program ended with message, as a short read ends it
//   ReadExtension(&in, label, &extensions)
//                            the sub-blocks of an extension whose label has been read, its
//                            graphic control or loop count kept in the record
//   PutGraphicControl(out, control), PutLoop(out, count)
//                            a graphic control extension; a loop extension (count 0: for
//                            ever); errors show when the caller closes the output
//
// Colour tables: a table whose stored components all fit the file's colour resolution
// (none above 2^res - 1) is scaled to the full range, 255 / (2^res - 1) per step (65535 /
// (2^res - 1) for 16-bit tables); any other table is taken as stored (16-bit: 257 x c).
// Entries past the file's table are 0.
//
// Fatal errors end the program through ExitProgram with status 1: "byte read error.",
// "data block read error.", "bad magic number.", "bad code size.", "missing data block.",
// "unexpected end of code.", "bad code after clear code.", "bad code." (a code past the
// table, or a pixel value above 255), "cell memory allocation error.". A full code table
// takes no new entries until a clear code; its codes stay 12 bits wide. The end of an image may
// warn on stderr: "data remains (warning).", "too many codes (warning).", "missing end of code
// (warning).".
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

// Block introducers and flag bits of the GIF block stream.
constexpr int kImageSeparator = 0x2C;       // ","
constexpr int kExtensionIntroducer = 0x21;  // "!"
constexpr int kTrailer = 0x3B;              // ";"
constexpr int kTableFlag = 0x80;            // a colour table follows (screen and image flags)
constexpr int kInterlaceFlag = 0x40;        // image rows stored in four passes
constexpr int kBlockSize = 255;             // the largest data sub-block

inline int ColourResolution(int screenFlags) { return ((screenFlags >> 4) & 7) + 1; }
inline int TableBits(int flags) { return (flags & 7) + 1; }

void SetGIFInput(FILE* stream);
int Get();
int GetWord();
void Skip(int count);
int GetBlock(unsigned char* buffer);
void SkipBlock();

void CheckMagic(const char* name = nullptr);

struct GIFBlocks {
  FILE* stream = nullptr;
  const char* path = nullptr;       // the subject of the messages, none when null
  const char* shortRead = nullptr;  // the message of a read that meets the end of the file
  int images = 0;                   // image separators NextBlock has returned
};
[[noreturn]] void FailGIF(const GIFBlocks& in, const char* message);
int ReadByte(GIFBlocks* in);
int ReadWord(GIFBlocks* in);
void ReadBytes(GIFBlocks* in, unsigned char* buffer, size_t count);
void SkipBytes(GIFBlocks* in, size_t count);
void ReadSignature(GIFBlocks* in, unsigned char* bytes, size_t count, const char* message);
int NextBlock(GIFBlocks* in);
int ReadSubBlock(GIFBlocks* in, unsigned char* buffer);
void CopySubBlocks(GIFBlocks* in, FILE* out);

// Graphic control extension: "!", label 0xF9, then a sub-block of 4 bytes:
//   offset 0   1   flags: disposal method in bits 2..4, user input bit 1, transparency bit 0
//   offset 1   2   delay, hundredths of a second
//   offset 3   1   transparent colour index
// and the terminator. It applies to the image that follows it.
// Loop extension: "!", label 0xFF, a sub-block of 11 bytes "NETSCAPE2.0" (or
// "ANIMEXTS1.0"), a sub-block of 3 bytes: 1, the loop count; the terminator.
constexpr int kGraphicControlLabel = 0xF9;
constexpr int kApplicationLabel = 0xFF;
constexpr int kTransparencyFlag = 0x01;

// Disposal methods: what becomes of an image's rectangle before the next image.
constexpr int kDisposeBackground = 2;  // set back to the background
constexpr int kDisposePrevious = 3;    // set back to what it was before the image
// (0, none given, and 1, left in place, are alike; 4 to 7 are undefined and taken as 1)

struct GraphicControl {
  bool present = false;
  int flags = 0;
  int delay = 0;
  int index = 0;  // the transparent colour index as stored
  int Disposal() const { return (flags >> 2) & 7; }
  // The transparent index, or -1 when the image has none.
  int Transparent() const { return present && (flags & kTransparencyFlag) ? index : -1; }
};

struct GIFExtensions {
  GraphicControl control;  // of the image last returned (present false: it had none)
  int loop = -1;           // the loop count of the first loop extension read; -1: none yet
};
void ReadExtension(GIFBlocks* in, int label, GIFExtensions* extensions);
void PutGraphicControl(FILE* out, const GraphicControl& control);
void PutLoop(FILE* out, int count);

struct ImageBox {
  int left = 0, top = 0, width = 0, height = 0;
  int Right() const { return left + width - 1; }
  int Bottom() const { return top + height - 1; }
  // Within a logical screen of width x height (an image without pixels may lie on its
  // right or bottom edge).
  bool Inside(int screenWidth, int screenHeight) const {
    return Right() < screenWidth && Bottom() < screenHeight;
  }
  // The part within the window: no pixels when the image lies wholly outside it.
  ImageBox Clipped(const ImageBox& window) const {
    ImageBox c;
    c.left = std::max(left, window.left);
    c.top = std::max(top, window.top);
    c.width = std::max(0, std::min(Right(), window.Right()) - c.left + 1);
    c.height = std::max(0, std::min(Bottom(), window.Bottom()) - c.top + 1);
    return c;
  }
  bool Empty() const { return width <= 0 || height <= 0; }
  bool operator==(const ImageBox&) const = default;
};
bool NextImage(ImageBox* box, GIFExtensions* extensions = nullptr);
int GetCodeSize();

void ScaleColourTable(int res, unsigned char* bytes, int count);
int GetCM(int res, int s, unsigned char* red, unsigned char* green, unsigned char* blue, int R,
          int G, int B);
void ReadCM(int res, int s, unsigned char* red, unsigned char* green, unsigned char* blue);
int ReadCM(int res, int s, uint16_t* red, uint16_t* green, uint16_t* blue);
void GetLUT(int res, int s, const unsigned char* inRed, const unsigned char* inGreen,
            const unsigned char* inBlue, bool inside, unsigned char* selection);

// Pictures the decoder allocates: height rows of width 16-bit cells, top row first.
// Each row is its own allocation, made when the decoder reaches it; the picture frees
// its rows when it goes.
struct FreeCells {
  void operator()(uint16_t* p) const { std::free(p); }
};
struct CellPicture {
  int width = 0, height = 0;
  std::vector<std::unique_ptr<uint16_t[], FreeCells>> owned;
  std::vector<uint16_t*> rows;  // what the TIFF writer takes
};
struct ColourPicture {
  CellPicture red, green, blue;  // samples 0..255
};

// The logical screen or a crop: height rows of width bytes.
struct FreeBytes {
  void operator()(unsigned char* p) const { std::free(p); }
};
struct Plane {
  int width = 0, height = 0;
  std::unique_ptr<unsigned char[], FreeBytes> cells;
  std::vector<unsigned char*> rows;
};
bool MakePlane(Plane* plane, int width, int height);

void DecodeImage(int left, int top, int width, int height, bool interlace, int codeSize,
                 unsigned char* const* screen);
using GIFRowSink = void (*)(int y, const unsigned char* row, void* context);
void DecodeImage(int width, int height, bool interlace, int codeSize, GIFRowSink sink,
                 void* context);
CellPicture DecodeImage(int width, int height, bool interlace, int codeSize);
ColourPicture DecodeImage(int width, int height, bool interlace, int codeSize,
                          const unsigned char* red, const unsigned char* green,
                          const unsigned char* blue, int* grey);
