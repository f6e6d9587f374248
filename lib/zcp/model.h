// A coloured triangle model for the programs that read ZCP: a ZCP file, read exactly by
// the ZCP rules, or a PLY file of any other kind (ASCII or binary in either byte order,
// any scalar types, colours on the faces or on the vertices, polygons, extra elements
// and properties), read through its header table (zcp/ply.h).
//
//   OpenModel(&model, name, rules)   opens the file ("-...": standard input; "file not
//                                    found.") and reads its header by the ZCP rules given
//                                    (kStrictHeader: "bad header."; kWordHeader: the
//                                    word reader's messages), else as a PLY file of any
//                                    kind; a file that neither takes ends the program
//                                    with the ZCP message. A regular file too short for
//                                    its counts ends it with the data error it would meet.
//                                    A PLY file's vertices are read here (HoldVertices)
//   ReadModelHeader(&model, stream, name, rules)
//                                    the same for a stream already open
//   StartModelReader(argc, argv, program, &model)
//                                    help and version, the usage line unless there is
//                                    exactly one argument, OpenModel of it (kStrictHeader)
//   HoldVertices(&model)             every vertex in model.xyz (x, y, z floats)
//   NextVertex(&model, v, before)    the next vertex in file order: from model.xyz once
//                                    held, else read from a ZCP file; a vertex block that
//                                    ends early calls before (when not null), then gives
//                                    the data error
//   CountTriangles(&model)           the number of triangles NextTriangle gives: a ZCP
//                                    file's face count; for a PLY file the faces are read
//                                    ahead into a spool (memory, then a temporary file)
//   NextTriangle(&model, &triangle, before)
//                                    the next triangle, false after the last. A face of
//                                    k corners gives k - 2 triangles (v0, vi, vi+1). Its
//                                    colour: the face's own, else the rounded mean of its
//                                    corners' colours, else none (coloured false, and
//                                    rgb white for the outputs that need one). A bad
//                                    or short face calls before, then ends the program:
//                                    ZCP with the rules' messages, PLY with "NAME : PLY
//                                    data error after N faces."
//   CloseModel(&model)               closes the input (not standard input)
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "zcp/ply.h"

struct ProgramInfo;

// Which of the ZCP programs' header rules a program keeps for ZCP files.
enum ZCPHeaderRules {
  kStrictHeader,  // the fixed header, any spacing (cplyworld, cplyscale, cplydump)
  kWordHeader,    // word by word, with its own messages (cplytomesh)
};

struct ModelTriangle {
  uint32_t index[3];
  unsigned char rgb[3];  // white when the face has no colour
  bool coloured;         // false: the file gives the face no colour
};

// Faces read ahead of their use, as polygon records (corner count, own colour, corners):
// in memory up to kSpoolMemory bytes, then in a temporary file.
struct FaceSpool {
  std::vector<unsigned char> memory;
  size_t readAt = 0;     // the next byte of memory to replay
  FILE* file = nullptr;  // null while everything fits in memory

  FaceSpool() = default;
  ~FaceSpool() {
    if (file != nullptr) std::fclose(file);
  }
  FaceSpool(const FaceSpool&) = delete;
  FaceSpool& operator=(const FaceSpool&) = delete;
};

struct ModelReader {
  const char* name;
  ZCPHeaderRules rules;
  PLYSource source;
  PLYHeader header;
  PLYLayout layout;
  bool zcp;          // read by the ZCP rules
  const char* kind;  // "ZCP" or "PLY", for the data error
  uint32_t n, m;     // vertex and face counts of the header
  bool checked;      // the body's size was checked against the file's length
  bool held;         // the vertices are in xyz (and rgb)
  std::vector<float> xyz;
  std::vector<unsigned char> rgb;  // three bytes a vertex when the vertices have colours
  uint32_t given;                  // vertices handed out by NextVertex
  size_t nextElement;              // PLY: the elements read or passed over so far
  uint32_t facesRead;              // faces read from the file
  bool spooled;                    // the faces are in spool
  FaceSpool spool;
  uint64_t triangles;          // the triangles of the faces in spool
  std::vector<double> values;  // the values of the row being read, by property
  // The face being cut into triangles.
  std::vector<uint32_t> corners;
  size_t fan;  // the next triangle is corners 0, fan, fan + 1
  unsigned char faceRGB[3];
  bool faceColoured;
};

void OpenModel(ModelReader* model, const char* name, ZCPHeaderRules rules);
void ReadModelHeader(ModelReader* model, FILE* stream, const char* name, ZCPHeaderRules rules);
void StartModelReader(int argc, char** argv, const ProgramInfo& program, ModelReader* model);
void HoldVertices(ModelReader* model);
void NextVertex(ModelReader* model, float v[3], void (*before)());
uint64_t CountTriangles(ModelReader* model);
bool NextTriangle(ModelReader* model, ModelTriangle* triangle, void (*before)());
void CloseModel(ModelReader* model);
