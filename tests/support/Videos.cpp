// SPDX-License-Identifier: MIT
#include "tests/support/Videos.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>

namespace {

// How each sample is made: the input and the encoding; "@name" stands for another sample.
QStringList Recipe(const QString& name)
{
    const QString picture = "-f lavfi -i nullsrc=s=64x48:r=10:d=%1,format=rgb24,"
                            "geq=r='20+3*N':g='20+3*N':b='20+3*N',format=yuv420p,"
                            "drawbox=x=0:y=0:w=16:h=12:color=white:t=fill%2 ";
    const QString six = picture.arg("6", "");
    const QString h264 = "-c:v libx264 -qp 5 -g 10 -keyint_min 10 -sc_threshold 0";
    const QMap<QString, QString> recipes {
        {"h264.mp4", six + h264 + " -movflags +faststart"},
        {"mpeg4.avi", six + "-c:v mpeg4 -q:v 2 -g 10"},
        {"vp9.webm", six + "-c:v libvpx-vp9 -crf 10 -b:v 0 -g 10 -deadline realtime"},
        {"wmv2.wmv", six + "-c:v wmv2 -q:v 2 -g 10"},
        {"h264-10bit.mkv", six + h264 + " -pix_fmt yuv420p10le"},
        {"mpeg2.ts", six + "-c:v mpeg2video -q:v 2 -g 10 -bf 0"},
        {"sar.mp4", picture.arg("6", ",setsar=2/1") + h264},
        // Key frames at 0 and 3 s only, as a camera's long intervals have it.
        {"sparse.mp4", six + "-c:v libx264 -qp 5 -g 30 -keyint_min 30 -sc_threshold 0"},
        {"rotated.mp4", "-i @h264.mp4 -c copy -metadata:s:v:0 rotate=90"},
        {"short.mp4", picture.arg("0.3", "") + h264},
        {"live.mkv", six + h264 + " -f matroska -live 1"},
        {"audio.m4a", "-f lavfi -i sine=d=1 -c:a aac"},
    };
    return recipes.value(name).split(u' ', Qt::SkipEmptyParts);
}

} // namespace

QString SampleVideo(const QString& name)
{
    QStringList args = Recipe(name);
    if (args.isEmpty())
        return {};
    for (QString& arg : args)
        arg = arg.startsWith(u'@') ? SampleVideo(arg.mid(1)) : arg;
    // The recipe is part of the name, so a changed recipe makes a new file.
    const QByteArray hash
        = QCryptographicHash::hash(args.join(u' ').toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    const QString folder = VELLMAR_VIDEO_SAMPLES;
    const QString extension = name.section(u'.', 1);
    const QString path = QString("%1/%2-%3.%4").arg(folder, name.section(u'.', 0, 0), hash, extension);
    if (QFile::exists(path))
        return path;
    // Made under a name of this process and renamed, so that test processes running side by
    // side never read a half-written sample.
    QDir().mkpath(folder);
    const QString partial
        = QString("%1.%2.%3").arg(path).arg(QCoreApplication::applicationPid()).arg(extension);
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", QStringList {"-v", "error", "-y"} + args + QStringList {partial});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        qWarning("ffmpeg could not make %s: %s", qPrintable(name), ffmpeg.readAllStandardError().constData());
        QFile::remove(partial);
        return {};
    }
    if (!QFile::rename(partial, path))
        QFile::remove(partial); // another process was quicker
    return path;
}
