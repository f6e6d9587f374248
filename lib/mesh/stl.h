// Reading STL models facet by facet, and the in-memory facet list.
//
//   SetUpSTL(reader, stream)      1 when ready to scan, 0 when the header cannot be read
//                                 (what decides ASCII or binary is told below)
//   ScanSTL(reader, x1..z3 [, attribute])
//                                 1 with one facet in the caller's variables,
//                                 0 at the regular end, -1 on any error
//   ScanSTLCorners(reader, v)     ScanSTL into v[0..8] (x1, y1, z1, ..., z3), in either
//                                 build; the attribute word, if any, is dropped
//   ScanSTLBlock(reader, block [, attribute])
//                                 ScanSTL into block[3..11] and the facet's unit normal
//                                 (CalcNormal of the delivered order, as floats) into
//                                 block[0..2]: a binary STL record ready to write
//   CalcNormal(x1..z3, nx, ny, nz)
//                                 unit normal of (v2 - v1) x (v3 - v1); NaN when degenerate
//   CalcNormalFloat(v, n)         the same narrowed to floats, for v = x1..z3 as floats
//   AllocFacet(x1..z3 [, attribute])
//                                 one heap Facet, or null when memory is exhausted
//   ReadFacetList(stream, outOfMemory)
//                                 the whole stream as a facet list (null when empty or
//                                 when the header cannot be read); *outOfMemory tells a
//                                 list cut short by exhausted memory
//   STLFacetRoom(reader)          right after SetUpSTL: how many facets a binary regular
//                                 file can still hold (its count, but never more than
//                                 its bytes); 0 when unknown (ASCII, pipes). A count read
//                                 from the file is a claim: allocate by this, or grow
//   ReportSTLEnd(reader, name)    after the last scan: false, with "NAME : STL data
//                                 error after N facets." on stderr, when the scan ended
//                                 on an error; true otherwise, with a warning for each
//                                 repair: "NAME : no endsolid (warning)." (an ASCII file
//                                 that just stops), "NAME : count N, K facets read
//                                 (warning)." (a count below the file's records),
//                                 "NAME : N facets turned to agree with their stored
//                                 normals (warning)."
//   RequireSTLEnd(reader, name)   the same, but an error ends the program, status 1
//   FreeFacetList(head)           releases a list that ReadFacetList built (not Facets
//                                 of AllocFacet, which are single malloc blocks)
//   OpenSTLInput(reader, name)    open an input ("-": stdin) and set it up; a failure
//                                 ends the program: "NAME : file not found." or
//                                 "NAME : STL header read error.", status 1
//   StartSTLProgram(&argc, &argv, program)
//                                 StartProgram with "--vertex-order" among the help's
//                                 arguments; then a first argument "--vertex-order" is
//                                 taken off the command line, and every reader set up
//                                 after it keeps the vertex order (turns no facet)
//   EachSTLFile(argc, argv, usage, each, context)
//                                 the frame of the programs that report on several
//                                 files: usage without arguments; per argument open it
//                                 ("-": stdin), set it up, call each(reader, name,
//                                 context) and ReportSTLEnd, reporting "file not found."
//                                 or "STL header read error." and going on; stdout
//                                 checked at the end; 1 when any file failed, else 0
//
// Two builds of one source: with MESHPIX_STL_ATTRIBUTE defined, ScanSTL hands out the
// 16-bit attribute word of each facet and Facet keeps it; without, it is dropped.
// A binary header holding "COLOR=" and four colour bytes marks the other common colour
// form (see colour.h); the attribute build hands its words out as colour words.
// While reading, the vertex order of every facet is made to agree with the normal
// stored in the file (vertices 2 and 3 are swapped when the stored normal clearly
// points against them), unless the reader keeps the vertex order (keepOrder). A program
// that needs the unit normal of a delivered facet computes it with CalcNormal
// (ScanSTLBlock does so).
//
// ASCII or binary: a header with a NUL byte, or one that does not begin with "solid"
// (after blanks), is binary. One that begins with "solid" is ASCII, except that
//   - a regular file whose size is 84 + 50 x count, or larger by less than one record,
//     is binary;
//   - a stream of unknown size (a pipe) is binary when the bytes looked at to tell
//     hold a control character and the first line is not followed by the word "facet"
//     or "endsolid": the look-ahead ends after that word, and never goes past kSTLLook
//     bytes nor past the facets the bytes 80 to 83 would count.
// A regular file whose header is binary and whose bytes after it are K whole records
// gives all K facets when its count is below K. An ASCII file may hold several solids,
// one after the other; their facets make one model. A stream that ends within 80 bytes
// is read when it holds complete empty solids.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The most bytes read at set-up to tell ASCII from binary: the 80 header bytes and what
// follows them.
constexpr int kSTLLook = 512;

// Per-stream reading state, owned by the caller.
struct STLReader {
  FILE* stream;
  int kind;              // 0 = ASCII, 1 = binary
  int current;           // ASCII: the character read last (0..255, -1 at end of file)
  int position;          // next unread byte of head; from filled on, bytes come from the stream
  int filled;            // bytes in head: the header and the look-ahead read at set-up
  uint32_t delivered;    // binary: facets handed out so far
  uint32_t count;        // binary: the facets to read: the file's count, or its records
  uint32_t countInFile;  // binary: the count the file gives
  bool keepOrder;        // take each facet's vertex order as given: turn none
  // binary, attribute build: the header holds "COLOR=" and the object's colour, and the
  // words are in that form; they are handed out as colour words (objectColour: the
  // object's colour as one)
  bool objectForm;
  uint16_t objectColour;
  // binary: facet records read ahead in one block, never past the counted facets, and
  // for each whether the winding repair turns it (vertices 2 and 3 swapped)
  static constexpr uint32_t kAhead = 1024;
  uint32_t aheadNext, aheadEnd;
  unsigned char ahead[kAhead * 50];
  bool turn[kAhead];
  unsigned char head[kSTLLook];  // the first bytes of the stream, served before the stream
  char token[80];                // ASCII: the current token, lower case
  // How the scan ended, for ReportSTLEnd; set by SetUpSTL and ScanSTL.
  uint64_t facets;  // facets delivered so far (result 1), either kind
  uint64_t turned;  // of those, the facets turned to agree with their stored normals
  bool failed;      // a scan gave -1: the model was not read to its end
  bool noEndsolid;  // ASCII: the file ended after a complete facet, without "endsolid"
  // binary: once ScanSTLBlock has been called (normals), each block read ahead comes
  // with the float unit normals (aheadNormals) of its facets where the double
  // arithmetic is sure of them (normalSure)
  bool normals, aheadNormals;
  bool normalSure[kAhead];
  float normal[kAhead][3];
};

constexpr int kSTLAscii = 0;
constexpr int kSTLBinary = 1;

int SetUpSTL(STLReader* reader, FILE* stream);

#if defined(MESHPIX_STL_ATTRIBUTE)
int ScanSTL(STLReader* reader, float* x1, float* y1, float* z1, float* x2, float* y2, float* z2,
            float* x3, float* y3, float* z3, int16_t* attribute);
#else
int ScanSTL(STLReader* reader, float* x1, float* y1, float* z1, float* x2, float* y2, float* z2,
            float* x3, float* y3, float* z3);
#endif

inline int ScanSTLCorners(STLReader* reader, float v[9]) {
#if defined(MESHPIX_STL_ATTRIBUTE)
  int16_t attribute;
  return ScanSTL(reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &attribute);
#else
  return ScanSTL(reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]);
#endif
}

#if defined(MESHPIX_STL_ATTRIBUTE)
int ScanSTLBlock(STLReader* reader, float block[12], int16_t* attribute);
#else
int ScanSTLBlock(STLReader* reader, float block[12]);
#endif

void CalcNormal(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                double y3, double z3, double* nx, double* ny, double* nz);

void CalcNormalFloat(const float v[9], float n[3]);

struct Facet {
  float x1, y1, z1;
  float x2, y2, z2;
  float x3, y3, z3;
#if defined(MESHPIX_STL_ATTRIBUTE)
  int16_t attribute;
#endif
  Facet* next;
};

#if defined(MESHPIX_STL_ATTRIBUTE)
Facet* AllocFacet(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                  double y3, double z3, int attribute);
#else
Facet* AllocFacet(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                  double y3, double z3);
#endif

// With end given, the reader's state after the last scan is copied there, for
// ReportSTLEnd (a header that cannot be read leaves it as set up: no error).
Facet* ReadFacetList(FILE* stream, bool* outOfMemory = nullptr, STLReader* end = nullptr);

uint64_t STLFacetRoom(const STLReader* reader);
bool ReportSTLEnd(const STLReader* reader, const char* name);
void RequireSTLEnd(const STLReader* reader, const char* name);
void FreeFacetList(Facet* head);

void OpenSTLInput(STLReader* reader, const char* name);

struct ProgramInfo;
void StartSTLProgram(int* argc, char*** argv, const ProgramInfo& program);

using STLFileFunction = void (*)(STLReader* reader, const char* name, void* context);
int EachSTLFile(int argc, char** argv, const char* usage, STLFileFunction each, void* context);
