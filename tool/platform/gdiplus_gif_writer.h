// GIF encoding with giflib (Qt reads GIF but has no GIF writer).
#pragma once

#include <QByteArray>
#include <QImage>

// One-frame GIF89a of the image. Palette: the image's own colours when there are at most 256
// (255 when some pixel is transparent), else a 6 x 6 x 6 colour cube (each channel rounded to the
// nearest of 0, 51, ..., 255). Pixels with alpha below 128 become the transparent index. False
// for a null image or an encoder error.
bool EncodeGif(const QImage& image, QByteArray* out);
