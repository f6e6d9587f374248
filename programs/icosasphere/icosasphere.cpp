// icosasphere: ellipsoids from a subdivided icosahedron, written as binary STL.
#include "common/program.h"
#include "shapes/polyshape.h"

namespace {

constexpr ProgramInfo kProgram = {MESHPIX_PROGRAM,
                                  "usage : " MESHPIX_PROGRAM
                                  " {level} {xO yO zO lon lat rot A B C} {scR scG scB} STL_file",
                                  "Writes ellipsoids from a subdivided icosahedron as binary STL; "
                                  "no parameters: one a line of standard input.",
                                  kShapeArguments};

}  // namespace

int main(int argc, char** argv) { return PolyShape(argc, argv, kProgram); }
