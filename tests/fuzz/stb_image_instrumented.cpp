// stb_image_instrumented.cpp - the implementation of stb_image, from the
// header the demo's libstb is built from, for the fuzz targets only.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
