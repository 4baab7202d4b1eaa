// SPDX-License-Identifier: MIT
// Renders the program's scalable icon at the sizes icon themes look for first, at build time:
//   vellmar_render_icon ICON.svg OUTDIR SIZE...   writes OUTDIR/SIZE.png for each SIZE
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fputs("usage: vellmar_render_icon ICON.svg OUTDIR SIZE...\n", stderr);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "vellmar_render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "vellmar_render_icon: bad size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString out = QString::fromLocal8Bit(argv[2]) + QStringLiteral("/%1.png").arg(size);
        if (!image.save(out, "PNG")) {
            std::fprintf(stderr, "vellmar_render_icon: cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
