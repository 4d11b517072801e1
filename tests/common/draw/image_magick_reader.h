// Reading image files back with ImageMagick (an independent decoder) for the BMP tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct DecodedImage {
    bool ok = false;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // 4 bytes per pixel, rows top to bottom
    uint32_t Argb(int x, int y) const {
        const uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
        return uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
};

inline std::string RunForOutput(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// Decodes `path` into RGBA with `convert`; `scratch` is a file name the raw pixels may use.
inline DecodedImage ReadWithImageMagick(const std::string& path, const std::string& scratch) {
    DecodedImage img;
    const std::string size = RunForOutput("identify -format '%w %h' '" + path + "' 2>/dev/null");
    if (std::sscanf(size.c_str(), "%d %d", &img.width, &img.height) != 2) return img;
    const std::string cmd = "convert '" + path + "' -depth 8 'rgba:" + scratch + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return img;
    std::ifstream in(scratch, std::ios::binary);
    img.rgba.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    img.ok = img.rgba.size() == size_t(img.width) * img.height * 4;
    return img;
}
