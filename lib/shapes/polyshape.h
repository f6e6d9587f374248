// Ellipsoids made from a regular polyhedron, its faces split recursively into four and
// pushed out to the unit sphere, written as binary STL. octasphere, icosasphere and
// tetrasphere are this module linked with one table module (oh, ih or th).
//
//   Polyhedron(&faces)          (table module) the faces, each three pointers to unit
//                               vertices, counter-clockwise seen from outside; returns
//                               their number (8, 20 or 4)
//   PolyShape(argc, argv, program)
//                               the whole program, with the main's own record for its
//                               usage line and --help; returns the exit status
//   kShapeArguments             the argument lines of the three programs' help
//   Level(text)                 a recursion level: a decimal integer from 0 up to the
//                               largest whose facet count fits in 32 bits, else
//                               "bad recursion level."
//   Flag(r, g, b)               the colour attribute word of three 0..255 words, else
//                               "bad surface color."
//   Parameter(level, words, attribute)
//                               a new ShapeParameters from "xO yO zO lon lat rot A B C";
//                               A, B, C must be finite and above 0, else "bad axial radius."
//   ParameterLine(line, level, attribute, list)
//                               one standard-input line: 9, 10, 12 or 13 words add an
//                               ellipsoid to the list (true); any other count is skipped
//   ReadParameterLines(stream, level, attribute, list)
//                               every line of the stream, read whole
//   FreeShapes(list)            release the records left in a list
//   Normalize(x, y, z, &x, &y, &z)
//                               the vector divided by its length
//   UseShape(shape)             the ellipsoid Deform maps onto
//   Deform(&x, &y, &z, &fx, &fy, &fz)
//                               a unit-sphere point onto the ellipsoid, radially; the
//                               doubles are replaced, the floats get them rounded
//   WriteShapes(stream, name, list)
//                               the binary STL of every ellipsoid of the list (records
//                               are freed as they are written); the count comes first
//
// A fatal condition prints its message and ends the program through ExitProgram.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

struct ShapeFace {
  const double* vertex[3];
};

int Polyhedron(const ShapeFace** faces);

// One ellipsoid: the rows of the matrix are the axis directions divided by the
// semi-axes, so that a point p lies on the ellipsoid when |m (p - centre)| = 1.
struct ShapeParameters {
  int level;
  double xO, yO, zO;
  double m[9];
  int16_t attribute;
  ShapeParameters* next;
};

// Ellipsoids in input order and their total facet count.
struct ShapeList {
  ShapeParameters* head = nullptr;
  ShapeParameters* tail = nullptr;
  uint64_t total = 0;
};

inline constexpr char kShapeArguments[] =
    "level\tthe recursion level: every level splits each face into four (else 0)\n"
    "xO yO zO\tthe centre of the ellipsoid\n"
    "lon lat rot\tthe longitude and latitude of axis C and the turn about it, degrees\n"
    "A B C\tthe semi-axes, above 0\n"
    "scR scG scB\tthe colour of every facet, 0 to 255 each (else none)\n"
    "STL_file\tthe binary STL written (\"-\": standard output)\n";

struct ProgramInfo;
int PolyShape(int argc, char** argv, const ProgramInfo& program);

int Level(const char* text);
int16_t Flag(const char* r, const char* g, const char* b);
ShapeParameters* Parameter(int level, const char* const words[9], int16_t attribute);
void AddShape(ShapeList* list, ShapeParameters* shape);
bool ParameterLine(std::string_view line, int level, int16_t attribute, ShapeList* list);
void ReadParameterLines(FILE* stream, int level, int16_t attribute, ShapeList* list);
void FreeShapes(ShapeList* list);

void Normalize(double x, double y, double z, double* nx, double* ny, double* nz);
void UseShape(const ShapeParameters* shape);
void Deform(double* x, double* y, double* z, float* fx, float* fy, float* fz);
void WriteShapes(FILE* stream, const char* name, ShapeList* list);
