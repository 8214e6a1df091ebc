// PNG reading and writing through libpng's simplified API, and the read-back
// of a GL colour buffer into a picture.
#include "png_image.h"
#include <GL/gl.h>
#include <png.h>
#include <cstring>

bool writePng(const char *path, const RgbImage &image)
{
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = (png_uint_32)image.width;
    png.height = (png_uint_32)image.height;
    png.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path, 0, image.pixels.data(), image.width * 3, nullptr) != 0;
}

bool readPng(const char *path, RgbImage &image)
{
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path))
        return false;
    png.format = PNG_FORMAT_RGB;
    image.width = (int)png.width;
    image.height = (int)png.height;
    image.pixels.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), image.width * 3, nullptr)) {
        png_image_free(&png);
        return false;
    }
    return true;
}

RgbImage readFramebuffer(int width, int height)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize((size_t)width * height * 3);
    std::vector<uint8_t> rows(image.pixels.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    for (int y = 0; y < height; y++)
        memcpy(&image.pixels[(size_t)y * width * 3], &rows[(size_t)(height - 1 - y) * width * 3],
               (size_t)width * 3);
    return image;
}
