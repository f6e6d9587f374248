// The frame that meshorbit and meshturn share: their argument checks and messages,
// the true-colour picture they draw into, the flat shading of facets, the GIF file
// they write, and the parsing of their standard input lines.
//
//   CheckLook(words)           the eleven words gamma bias bgR bgG bgB fgR fgG fgB scR scG
//                              scB, checked in this order ("bad gamma.", "bad bias.",
//                              "bad background.", "bad foreground.", "bad surface color.")
//   ReadModel(name)            the facets of one STL file ("-...": standard input); stops
//                              with "%s : file not found.", "%s : file read error." (no
//                              facet) or "facet memory allocation error."
//   FacetIsFinite(facet)       all nine coordinates finite (the others are never drawn)
//   NewPicture(width, height)  the picture's three planes ("cell memory allocation error.")
//   OpenPicture(name)          the GIF file ("-...": standard output) with its header
//                              ("GIF file not created.")
//   BeginFrame(Ni, Nj, lon, lat, xmin, ymin, zmin, xmax, ymax, zmax)
//                              every pixel in the background colour, and the renderer
//                              set up (XYZInit; "rendering memory allocation error.")
//   PictureRows(channel)       the picture's rows of red (0), green (1) or blue (2), top
//                              row first, for callers that keep a frame elsewhere
//   PlaceView(left, bottom)    picture column of the renderer's column 0 and picture row
//                              of its row 0, the view's bottom row (rows run upward in
//                              the renderer)
//   Paint(red, green, blue)    the colour Plot writes
//   Plot                       the renderer's pixel callback: the paint into the picture
//   DrawFacet(lon, lat, x1, y1, z1, x2, y2, z2, x3, y3, z3, attribute)
//                              a facet facing the view, shaded by its angle to it, in its
//                              own colour or the surface colour; others, and facets with
//                              coordinates that are not finite, are left out
//   ShowBox()                  whether a foreground colour is set (no component negative)
//   DrawBox(xmin, ymin, zmin, xmax, ymax, zmax)
//                              the box's twelve edges in the foreground colour
//   DrawEdge(x1, y1, z1, x2, y2, z2)
//                              one segment in the foreground colour
//   EndFrame()                 the renderer released (XYZTerm), the picture stored as
//                              the next GIF image
//   ClosePicture()             the GIF trailer; the file closed and checked
//   DrawInputLines(draw, noFrame)
//                              every line of standard input handed to draw, which draws
//                              its frames and says whether it drew any; noFrame (a
//                              whole warning line) on standard error when none did
//   ParseViewLine(text, &view) a view line "lon lat" or "lon lat dlon dlat n"; false for
//                              any other number of words (more than five count as five),
//                              for a comment (a first word beginning with "#"), and with
//                              "bad view line (warning)." for n above kMaxLineFrames
//   ViewAngle(start, step, k)  (k step + start) in radians, as (k step + start) pi / 180
//   ParseTurnLine(text, &turn) a rotation line "a b angle" or "a b angle step n"; false as
//                              above, with "bad rotation line (warning)."
//   TurnAngle(start, step, k)  (k step + start) in radians, as (k step + start) kDegree:
//                              not always ViewAngle's last bit, and kept so
#pragma once

#include <string>
#include <string_view>

#include "mesh/stl.h"

void CheckLook(char** words);
Facet* ReadModel(const char* name);
bool FacetIsFinite(const Facet* f);

void NewPicture(int width, int height);
void OpenPicture(const char* name);
void BeginFrame(int Ni, int Nj, double lon, double lat, double xmin, double ymin, double zmin,
                double xmax, double ymax, double zmax);
unsigned char** PictureRows(int channel);
void PlaceView(int xL, int yT);
void Paint(int red, int green, int blue);
void Plot(int column, int row, double x, double y, double z);
void DrawFacet(double lon, double lat, double x1, double y1, double z1, double x2, double y2,
               double z2, double x3, double y3, double z3, int attribute);
bool ShowBox();
void DrawBox(double xmin, double ymin, double zmin, double xmax, double ymax, double zmax);
void DrawEdge(double x1, double y1, double z1, double x2, double y2, double z2);
void EndFrame();
void ClosePicture();
using LineFrames = bool (*)(const std::string& line);
void DrawInputLines(LineFrames draw, const char* noFrame);

// The most frames one line may ask for: a larger count (400 digits of it saturate to
// INT_MAX) is a slip that would run for days, not a film.
constexpr int kMaxLineFrames = 1000000;

// Angles in degrees as read; frames is 1 for the short forms, n (possibly 0 or less:
// no frame) for the long ones.
struct ViewLine {
  double lon, lat, dlon, dlat;
  int frames;
};
bool ParseViewLine(std::string_view text, ViewLine* view);
double ViewAngle(double start, double step, int k);

struct TurnLine {
  double lon, lat;  // the axis
  double angle, step;
  int frames;
};
bool ParseTurnLine(std::string_view text, TurnLine* turn);
double TurnAngle(double start, double step, int k);

constexpr double kDegree = 0.017453292519943295;
