// SPDX-License-Identifier: MIT
#include "app/grab/GrabCli.h"

#include "app/core/Files.h"
#include "settings/Paths.h"
#include "video/Deinterlace.h"
#include "video/FrameExtraction.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <climits>

namespace {

constexpr int kJpegQuality = 100;

const char kUsage[] = R"(Usage: vellmar-grab [OPTIONS] VIDEO

Takes frames spread evenly over the length of VIDEO, each the first frame decoded
from the key frame nearest its position, and writes them as JPEG files (quality
100). Prints one line per frame: the file, a tab, the frame's time as HH:MM:SS.

Options:
  --frames N        number of frames, 1 to 100 (default 8)
  --out DIR         folder for the frames, made when missing (default: the current
                    folder); existing files are never replaced: a name that is
                    taken gets "_1", "_2", ... before its extension
  --sheet FILE      also write all frames on one tile sheet with their times, in
                    the format of FILE's extension (.jpg, .png, ...); FILE must not
                    exist yet. Printed last as "sheet", a tab, FILE
  --columns N       columns of the sheet, 1 or more (default 3)
  --tile-width PX   width of one tile, 10 to 1024 (default 200); its height
                    follows the largest frame's proportions
  --gap-x PX        horizontal gap between tiles, 0 to 200 (default 5)
  --gap-y PX        vertical gap between tiles, 0 to 200 (default 7)
  --deinterlace     blend the lines of interlaced frames
  -h, --help        show this text

Exit status: 0 when every frame (and the sheet) was written, 1 when the video
could not be read or a frame is missing, 2 for bad arguments. Ctrl+C stops the
extraction; the frames written so far stay, no sheet is made.
)";

QString ReasonFor(const ExtractionResult& result)
{
    QString reason;
    switch (result.outcome) {
    case ExtractionOutcome::NotReadable:
        reason = QStringLiteral("cannot be read as a video file");
        break;
    case ExtractionOutcome::NoVideoStream:
        reason = QStringLiteral("has no video stream");
        break;
    case ExtractionOutcome::NoDecoder:
        reason = QStringLiteral("has a video stream in a format that cannot be decoded");
        break;
    case ExtractionOutcome::DecoderFailed:
        reason = QStringLiteral("its video decoder could not be started");
        break;
    case ExtractionOutcome::UnknownDuration:
        reason = QStringLiteral("its length cannot be determined, so frames cannot be spread over it");
        break;
    case ExtractionOutcome::OutOfMemory:
        reason = QStringLiteral("not enough memory");
        break;
    default:
        return {};
    }
    return result.detail.isEmpty() ? reason : reason + QStringLiteral(" (") + result.detail + u')';
}

// Opens `stem` + suffix for writing without ever replacing a file: O_EXCL underneath, so two
// runs writing into one folder at once cannot take the same name either.
QString CreateFresh(const QString& stem, const QString& suffix, QFile& file)
{
    CreatedFile created = CreateUniqueFile(stem, suffix, 0666);
    if (!created.ok())
        return {};
    file.setFileName(created.path);
    return file.open(created.fd.release(), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) ? created.path
                                                                                               : QString();
}

bool WriteImage(const QImage& image, QFile& file, const QByteArray& format)
{
    QImageWriter writer(&file, format);
    writer.setQuality(kJpegQuality);
    const bool written = writer.write(image) && file.flush();
    file.close();
    if (!written)
        file.remove();
    return written;
}

class GrabSink : public FrameSink
{
public:
    GrabSink(const GrabCliOptions& options, QTextStream& out, QTextStream& err)
        : m_options(options)
        , m_out(out)
        , m_err(err)
    {
        QString base = BaseNameOf(FileNameOf(options.video));
        m_stem = QDir(options.outDir).filePath(base.isEmpty() ? QStringLiteral("frame") : base);
        m_digits = std::max(2, static_cast<int>(QString::number(options.frames).size()));
    }

    void OnStatus(const QString&) override { }
    void OnProgress(int) override { }
    void OnFrame(const GrabbedFrame& frame) override
    {
        const QImage picture = m_options.deinterlace ? Deinterlace(frame.image) : frame.image;
        QFile file;
        const QString stem
            = QStringLiteral("%1_%2").arg(m_stem).arg(frame.index + 1, m_digits, 10, QLatin1Char('0'));
        const QString path = CreateFresh(stem, QStringLiteral(".jpg"), file);
        if (path.isEmpty() || !WriteImage(picture, file, "jpeg")) {
            m_err << "vellmar-grab: cannot write " << stem << ".jpg in " << m_options.outDir << '\n'
                  << Qt::flush;
            ++failures;
            return;
        }
        m_out << path << '\t' << frame.caption << '\n' << Qt::flush;
        sheetFrames.append({{}, path, frame.caption});
        maxWidth = std::max(maxWidth, picture.width());
        maxHeight = std::max(maxHeight, picture.height());
    }

    QList<SheetFrame> sheetFrames;
    int maxWidth = 0;
    int maxHeight = 0;
    int failures = 0;

private:
    const GrabCliOptions& m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    QString m_stem;
    int m_digits = 2;
};

bool WriteSheet(const GrabCliOptions& options, const GrabSink& sink, QTextStream& out, QTextStream& err)
{
    const QImage sheet = BuildTileSheet(sink.sheetFrames, options.layout, sink.maxWidth, sink.maxHeight);
    QFile file(options.sheetPath);
    if (sheet.isNull() || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly)
        || !WriteImage(sheet, file, QFileInfo(options.sheetPath).suffix().toLower().toLatin1())) {
        err << "vellmar-grab: cannot write the sheet " << options.sheetPath << '\n' << Qt::flush;
        return false;
    }
    out << "sheet\t" << options.sheetPath << '\n' << Qt::flush;
    return true;
}

} // namespace

QString GrabCliUsage()
{
    return QString::fromUtf8(kUsage);
}

ParsedGrabCli ParseGrabCli(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList {QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption frames(QStringLiteral("frames"), QString(), QStringLiteral("N"));
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption sheet(QStringLiteral("sheet"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption columns(QStringLiteral("columns"), QString(), QStringLiteral("N"));
    const QCommandLineOption tileWidth(QStringLiteral("tile-width"), QString(), QStringLiteral("PX"));
    const QCommandLineOption gapX(QStringLiteral("gap-x"), QString(), QStringLiteral("PX"));
    const QCommandLineOption gapY(QStringLiteral("gap-y"), QString(), QStringLiteral("PX"));
    const QCommandLineOption deinterlace(QStringLiteral("deinterlace"));
    parser.addOptions({help, frames, out, sheet, columns, tileWidth, gapX, gapY, deinterlace});
    if (!parser.parse(arguments))
        return ParsedGrabCli::Error(parser.errorText());
    if (parser.isSet(help))
        return ParsedGrabCli::Help();

    ParsedGrabCli parsed;
    GrabCliOptions& options = parsed.options;

    const struct
    {
        const QCommandLineOption& option;
        int low, high;
        int& value;
        const char* what;
    } numbers[] = {
        {frames, 1, 100, options.frames, "--frames takes a number of frames from 1 to 100"},
        {columns, 1, INT_MAX, options.layout.columns, "--columns takes a number from 1 up"},
        {tileWidth, 10, 1024, options.layout.tileWidth, "--tile-width takes a width from 10 to 1024"},
        {gapX, 0, 200, options.layout.gapWidth, "--gap-x takes a gap from 0 to 200"},
        {gapY, 0, 200, options.layout.gapHeight, "--gap-y takes a gap from 0 to 200"},
    };
    for (const auto& number : numbers) {
        if (!parser.isSet(number.option))
            continue;
        const std::optional<int> value = ParseInt(parser.value(number.option), number.low, number.high);
        if (!value)
            return ParsedGrabCli::Error(QString::fromLatin1(number.what));
        number.value = *value;
    }
    if (parser.isSet(out))
        options.outDir = parser.value(out);
    if (!QDir().mkpath(options.outDir))
        return ParsedGrabCli::Error(QStringLiteral("cannot make the folder %1").arg(options.outDir));
    if (parser.isSet(sheet)) {
        options.sheetPath = parser.value(sheet);
        const QByteArray format = QFileInfo(options.sheetPath).suffix().toLower().toLatin1();
        if (!QImageWriter::supportedImageFormats().contains(format))
            return ParsedGrabCli::Error(
                QStringLiteral("--sheet needs a file name ending in a picture format such as .jpg or .png"));
        if (QFileInfo::exists(options.sheetPath))
            return ParsedGrabCli::Error(
                QStringLiteral("%1 exists already and is not replaced").arg(options.sheetPath));
    }
    options.deinterlace = parser.isSet(deinterlace);
    const QStringList videos = parser.positionalArguments();
    if (videos.size() != 1)
        return ParsedGrabCli::Error(
            videos.isEmpty() ? QStringLiteral("no video file") : QStringLiteral("one video file at a time"));
    options.video = videos.first();
    return parsed;
}

int RunGrabCli(
    const QStringList& arguments, QTextStream& out, QTextStream& err, const std::atomic<bool>* stop)
{
    const ParsedGrabCli parsed = ParseGrabCli(arguments);
    if (const std::optional<int> exitCode
        = AnswerWithoutRunning(parsed, "vellmar-grab", GrabCliUsage(), out, err))
        return *exitCode;
    const GrabCliOptions& options = parsed.options;

    GrabSink sink(options, out, err);
    const ExtractionResult result = ExtractFrames(options.video, options.frames, sink, stop);
    if (const QString reason = ReasonFor(result); !reason.isEmpty()) {
        err << "vellmar-grab: " << options.video << ": " << reason << '\n' << Qt::flush;
        return 1;
    }
    for (const MediaTime position : result.missed)
        err << "vellmar-grab: " << options.video << ": no frame could be decoded near "
            << FrameCaption(position) << '\n';
    if (result.repeated > 0)
        err << "vellmar-grab: " << options.video << ": the video has only " << result.framesTaken
            << " different frames\n";
    if (result.outcome == ExtractionOutcome::Stopped) {
        err << "vellmar-grab: stopped after " << result.framesTaken << " of " << result.framesAsked
            << " frames\n"
            << Qt::flush;
        return 1;
    }
    err << Qt::flush;
    const bool sheetWritten = options.sheetPath.isEmpty() || WriteSheet(options, sink, out, err);
    return result.Complete() && sink.failures == 0 && sheetWritten ? 0 : 1;
}
