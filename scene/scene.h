// The display lists that make up the picture: the eye curves, the axis cross,
// the edge markers and the label drum.
#pragma once

#include <cstddef>

// Compiles LIST_CURVES from the recording and the view's switches, torsion
// scale and build-up count.
void buildCurveList();

// Drops the compiled blocks of rows that buildCurveList keeps between builds;
// needed when the recording has been read anew.
void forgetCurveBlocks();

// Compiles LIST_CROSS: black axes 20 units long with labels at their ends.
void buildCrossList();

// Compiles LIST_EDGES: two square rings of small cubes, spacings 9 and 25.
void buildEdgeList();
void drawEdgeSquare();
void drawEdgeCube();
void drawEdgeRing(float spacing);

constexpr int IMAGE_SIZE = 128;
constexpr size_t IMAGE_BYTES = IMAGE_SIZE * IMAGE_SIZE * 3;

// Reserves the texture names, reads images.dat and defines the texture.
void loadDrumTexture();

// Compiles LIST_DRUM: the bar with an end cap at each end and one image strip
// on each long face.
void buildDrumList();

// Reads up to IMAGE_BYTES of path into image; whatever does not arrive stays
// white, so a missing or short file leaves the picture's colours untouched.
// Returns the number of bytes read.
size_t readImageFile(const char* path, unsigned char* image);

// Where images.dat is looked for, in order: the working directory, the
// executable's directory, ../share/quelvist beside it, then the data
// directory the program was built for. Writes the
// first existing candidate to out and returns true, or false if none exists.
bool findImageFile(char* out, size_t capacity);

// The texture name that stays bound for the whole run.
extern unsigned drumTexture[2];
