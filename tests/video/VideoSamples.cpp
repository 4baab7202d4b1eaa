// SPDX-License-Identifier: MIT
#include "tests/video/VideoSamples.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <cmath>

namespace {

const QString kPicture = QStringLiteral("nullsrc=s=64x48:r=10:d=%1,format=rgb24,"
                                        "geq=r='20+3*N':g='20+3*N':b='20+3*N',format=yuv420p,"
                                        "drawbox=x=0:y=0:w=16:h=12:color=white:t=fill%2");

QStringList Lavfi(const QString& seconds = QStringLiteral("6"), const QString& extra = {})
{
    return {
        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), kPicture.arg(seconds, extra)};
}

QStringList Args(const QString& text)
{
    return text.split(u' ', Qt::SkipEmptyParts);
}

// How each sample is made: the input and the encoding; "@name" stands for another sample.
QStringList Recipe(const QString& name)
{
    const QString h264 = QStringLiteral("-c:v libx264 -qp 5 -g 10 -keyint_min 10 -sc_threshold 0");
    const QMap<QString, QStringList> recipes {
        {"h264.mp4", Lavfi() + Args(h264 + " -movflags +faststart")},
        {"mpeg4.avi", Lavfi() + Args("-c:v mpeg4 -q:v 2 -g 10")},
        {"vp9.webm", Lavfi() + Args("-c:v libvpx-vp9 -crf 10 -b:v 0 -g 10 -deadline realtime")},
        {"wmv2.wmv", Lavfi() + Args("-c:v wmv2 -q:v 2 -g 10")},
        {"h264-10bit.mkv", Lavfi() + Args(h264 + " -pix_fmt yuv420p10le")},
        {"mpeg2.ts", Lavfi() + Args("-c:v mpeg2video -q:v 2 -g 10 -bf 0")},
        {"sar.mp4", Lavfi("6", ",setsar=2/1") + Args(h264)},
        {"rotated.mp4", Args("-i @h264.mp4 -c copy -metadata:s:v:0 rotate=90")},
        {"short.mp4", Lavfi("0.3") + Args(h264)},
        {"live.mkv", Lavfi() + Args(h264 + " -f matroska -live 1")},
        {"audio.m4a", Args("-f lavfi -i sine=d=1 -c:a aac")},
    };
    return recipes.value(name);
}

QString SampleFolder()
{
    return QStringLiteral(VELLMAR_VIDEO_SAMPLES);
}

} // namespace

QString SampleVideo(const QString& name)
{
    QStringList args = Recipe(name);
    if (args.isEmpty())
        return {};
    for (QString& arg : args) {
        if (arg.startsWith(u'@'))
            arg = SampleVideo(arg.mid(1));
    }
    // The recipe is part of the name, so a changed recipe makes a new file.
    const QByteArray hash
        = QCryptographicHash::hash(args.join(u' ').toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    const QString dot = QStringLiteral(".");
    const QString base = name.section(dot, 0, 0);
    const QString extension = name.section(dot, 1);
    const QString path = QStringLiteral("%1/%2-%3.%4").arg(SampleFolder(), base, hash, extension);
    if (QFile::exists(path))
        return path;
    // Made under a name of this process and renamed, so that test processes running side by
    // side never read a half-written sample.
    QDir().mkpath(SampleFolder());
    const QString partial
        = QStringLiteral("%1.%2.%3").arg(path).arg(QCoreApplication::applicationPid()).arg(extension);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        QStringList {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + args
            + QStringList {partial});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        qWarning("ffmpeg could not make %s: %s", qPrintable(name), ffmpeg.readAllStandardError().constData());
        QFile::remove(partial);
        return {};
    }
    if (!QFile::rename(partial, path))
        QFile::remove(partial); // another process was quicker
    return path;
}

int FrameNumberAt(const QImage& image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    const double level = (qRed(pixel) + qGreen(pixel) + qBlue(pixel)) / 3.0;
    const double number = (level - 20) / 3;
    return std::abs(number - std::round(number)) < 0.4 ? static_cast<int>(std::round(number)) : -1;
}
