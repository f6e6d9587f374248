// Depth-buffered drawing of points, segments and triangles in an orthographic view.
//
//   XYZInit(Ni, Nj, lon, lat, xmin, ymin, zmin, xmax, ymax, zmax)
//                        a picture of Ni columns and Nj rows seen from longitude lon and
//                        latitude lat (radians), the box mapped onto it; 1 when ready,
//                        0 when memory ran out (or the picture has no pixel)
//   XYZTerm()            releases what XYZInit took; due before the next XYZInit
//   XYZPlot(x, y, z, store)                         one point
//   XYZDraw(x1, y1, z1, x2, y2, z2, store)          a segment, both ends included
//   XYZFill(x1, y1, z1, x2, y2, z2, x3, y3, z3, store)
//                                                   a triangle, either winding
//   XYZSide(lon, lat, x1, y1, z1, x2, y2, z2, x3, y3, z3)
//                        cosine between the triangle's normal (2-1) x (3-1) and the
//                        direction (lon, lat); 0 for a triangle without area
//   XYZFacing(lon, lat, x1, y1, z1, x2, y2, z2, x3, y3, z3, &side)
//                        false when XYZSide would be below 0 or not a number (the
//                        triangle faces away); else true with XYZSide's value in side.
//                        Spares the square root for the triangles that face away
//   XYZWidth(lon, lat, xmin, ymin, zmin, xmax, ymax, zmax, &width, &height)
//                        extent of the box along the view's horizontal and vertical axes
//   XYZRatio(lon, lat, xmin, ymin, zmin, xmax, ymax, zmax)
//                        height / width
//   XYZShade(lon, lat, shade)
//                        for every drawn pixel, the light from (lon, lat) on the surface
//                        that the depth buffer describes: shade(column, row, 0..1)
//
// Column 0 is the left of the picture, row 0 its bottom; the depth runs from 0 (far,
// never drawn) to 65535 (near). A pixel passes when it is nearer than what the pixel
// holds (equal depths keep what came first); store(column, row, x, y, z) then gets the
// world coordinates of the pixel's centre. A null store updates only the depth buffer.
// Pixels outside the picture and points with coordinates that are not finite are left
// out. The state is module-level: one rendering at a time.
#pragma once

using PixelFunction = void (*)(int column, int row, double x, double y, double z);
using ShadeFunction = void (*)(int column, int row, double shade);

int XYZInit(int Ni, int Nj, double lon, double lat, double xmin, double ymin, double zmin,
            double xmax, double ymax, double zmax);
void XYZTerm();
void XYZPlot(double x, double y, double z, PixelFunction store);
void XYZDraw(double x1, double y1, double z1, double x2, double y2, double z2, PixelFunction store);
void XYZFill(double x1, double y1, double z1, double x2, double y2, double z2, double x3, double y3,
             double z3, PixelFunction store);

bool XYZFacing(double lon, double lat, double x1, double y1, double z1, double x2, double y2,
               double z2, double x3, double y3, double z3, double* side);
double XYZSide(double lon, double lat, double x1, double y1, double z1, double x2, double y2,
               double z2, double x3, double y3, double z3);
void XYZWidth(double lon, double lat, double xmin, double ymin, double zmin, double xmax,
              double ymax, double zmax, double* width, double* height);
double XYZRatio(double lon, double lat, double xmin, double ymin, double zmin, double xmax,
                double ymax, double zmax);
void XYZShade(double lon, double lat, ShadeFunction shade);
