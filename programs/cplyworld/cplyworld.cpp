// cplyworld: prints a ZCP model, or a coloured PLY model of another kind, as a VRML 2.0
// document on standard output: one Shape whose IndexedFaceSet lists the points, the
// triangles, every distinct face colour once (in the order the colours first appear;
// white for a face without one) and one colour index per triangle.
#include <cstdint>
#include <cstdio>
#include <new>
#include <unordered_map>
#include <vector>

#include "common/program.h"
#include "common/textout.h"
#include "zcp/model.h"
#include "zcp/zcp.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " ZCP",
    "Prints a ZCP or coloured PLY model as a VRML 2.0 document on standard output.",
    "ZCP\tthe ZCP or PLY model read (\"-\": standard input)\n"};

// The five fixed parts of the document, each followed by a line feed.
constexpr const char kOpening[] =
    "#VRML V2.0 utf8\nShape {\ngeometry IndexedFaceSet {\ncolorPerVertex FALSE\n"
    "coord Coordinate {\npoint [\n";
constexpr const char kAfterPoints[] = "]\n}\ncoordIndex [\n";
constexpr const char kAfterFaces[] = "]\ncolor Color {\ncolor [\n";
constexpr const char kAfterColours[] = "]\n}\ncolorIndex [\n";
constexpr const char kClosing[] = "]\n}\nappearance Appearance {\nmaterial Material {}\n}\n}\n";
constexpr size_t kReserveFaces = size_t{1} << 20;  // face slots taken before any output

TextOut out{stdout};

// The document printed so far stays on standard output when the program stops.
void FlushText() { out.Flush(); }

[[noreturn]] void Error(const char* message) {
  FlushText();
  FailLine(message);
}

void Channel(unsigned char value) {
  char text[32];
  int length = std::snprintf(text, sizeof text, "%g", static_cast<double>(value / 255.0f));
  out.Text(std::string_view(text, static_cast<size_t>(length)));
}

}  // namespace

int main(int argc, char** argv) {
  ModelReader model;
  StartModelReader(argc, argv, kProgram, &model);
  const uint32_t n = model.n, m = model.m;

  // Per face its colour index; the colours in index order; colour -> index. The
  // lists grow with the faces read, so a header that promises more faces than the
  // file holds costs nothing.
  std::vector<uint32_t> faceColour;
  std::vector<uint32_t> colours;
  std::unordered_map<uint32_t, uint32_t> indexOf;
  try {
    faceColour.reserve(m < kReserveFaces ? m : kReserveFaces);
  } catch (const std::bad_alloc&) {
    Error("memory allocation error.");
  }

  out.Text(kOpening);
  for (uint32_t i = 0; i < n; ++i) {
    float v[3];
    NextVertex(&model, v, FlushText);
    PutPointText(&out, v, ' ');
  }

  out.Text(kAfterPoints);
  uint32_t lastColour = UINT32_MAX, lastIndex = 0;  // most faces repeat their neighbour's colour
  ModelTriangle face;
  while (NextTriangle(&model, &face, FlushText)) {
    const uint32_t colour = uint32_t{face.rgb[0]} << 16 | uint32_t{face.rgb[1]} << 8 | face.rgb[2];
    try {
      if (colour != lastColour) {
        auto [at, added] = indexOf.try_emplace(colour, static_cast<uint32_t>(colours.size()));
        if (added) colours.push_back(colour);
        lastColour = colour;
        lastIndex = at->second;
      }
      faceColour.push_back(lastIndex);
    } catch (const std::bad_alloc&) {
      Error("memory allocation error.");
    }
    for (uint32_t index : face.index) {
      out.Int(index);
      out.Char(' ');
    }
    out.Text("-1\n");
  }

  out.Text(kAfterFaces);
  for (uint32_t colour : colours) {
    Channel(static_cast<unsigned char>(colour >> 16));
    out.Char(' ');
    Channel(static_cast<unsigned char>(colour >> 8));
    out.Char(' ');
    Channel(static_cast<unsigned char>(colour));
    out.Char('\n');
  }
  out.Text(kAfterColours);
  for (uint32_t index : faceColour) {
    out.Int(index);
    out.Char('\n');
  }
  out.Text(kClosing);
  out.Flush();
  CloseModel(&model);
  FinishOutput();
  return 0;
}
