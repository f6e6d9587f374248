// octasphere: ellipsoids from a subdivided octahedron, written as binary STL.
#include "shapes/polyshape.h"

int main(int argc, char** argv) { return PolyShape(argc, argv); }
