/* stb's implementations for the browser build (see cmake/JolpWeb.cmake):
   images as texture.cpp reads them (JPEG is the browser's), Vorbis as
   music_stream.cpp decodes it. */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_NO_JPEG
#include <stb/stb_image.h>

#include <stb/stb_vorbis.h>
