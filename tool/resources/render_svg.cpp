// Build tool: renders an SVG drawing into a PNG of the given size with Qt's SVG renderer.
//   orbo_render_svg IN.svg OUT.png SIZE
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s IN.svg OUT.png SIZE\n", argv[0]);
        return 2;
    }
    const int size = std::atoi(argv[3]);
    if (size <= 0 || size > 4096) {
        std::fprintf(stderr, "render_svg: bad size %s\n", argv[3]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_svg: cannot read %s\n", argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "render_svg: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
