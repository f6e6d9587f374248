// icosasphere: ellipsoids from a subdivided icosahedron, written as binary STL.
#include "shapes/polyshape.h"

int main(int argc, char** argv) { return PolyShape(argc, argv); }
