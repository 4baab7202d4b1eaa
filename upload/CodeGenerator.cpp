// SPDX-License-Identifier: MIT
#include "upload/CodeGenerator.h"

namespace {

constexpr int kDefaultImagesPerRow = 4;

// One code type cut into its pieces: an opening and a closing text, and one item per result,
// each with its separator.
struct CodePieces
{
    QString open;
    QString close;
    QStringList items;
};

QString LinkedThumb(const QString& image, const QString& thumb)
{
    QString item = QStringLiteral("[url=") + image + u']';
    if (!thumb.isEmpty())
        item += QStringLiteral("[img]") + thumb + QStringLiteral("[/img]");
    return item + QStringLiteral("[/url]");
}

QString ItemOf(int codeType, const QString& image, const QString& thumb, int n, int perRow)
{
    const bool rowEnds = n % perRow == 0;
    switch (codeType) {
    case 0:
        return LinkedThumb(image, thumb) + (rowEnds ? QStringLiteral("\r\n\r\n") : QStringLiteral("  "));
    case 1:
        return LinkedThumb(image, thumb) + QStringLiteral("\r\n\r\n");
    case 2:
        return QStringLiteral("[img]") + image + QStringLiteral("[/img]\r\n\r\n");
    case 3:
        return QStringLiteral("[url]") + image + QStringLiteral("[/url]\r\n");
    case 4:
        return image + QStringLiteral("\r\n");
    case 5: {
        QString item = QStringLiteral("<a href=\"") + image + QStringLiteral("\">");
        if (!thumb.isEmpty())
            item += QStringLiteral("<img src=\"") + thumb + QStringLiteral("\" border=0>");
        return item + QStringLiteral("</a>")
            + (rowEnds ? QStringLiteral("<br>&nbsp;<br>") : QStringLiteral("&nbsp;&nbsp;"));
    }
    case 6: {
        QString item;
        if (!image.isEmpty())
            item = QStringLiteral("<img src=\"") + image + QStringLiteral("\" border=0>");
        return item + QStringLiteral("<br>&nbsp;<br>");
    }
    default:
        return {};
    }
}

CodePieces PiecesOf(const QList<UploadResult>& results, int codeType, int perRow)
{
    CodePieces pieces;
    if (codeType < 0 || codeType >= kCodeTypeCount)
        return pieces;
    if (codeType == 5) {
        pieces.open = QStringLiteral("<center>");
        pieces.close = QStringLiteral("</center>");
    }
    pieces.items.reserve(results.size());
    int n = 0;
    for (const UploadResult& result : results)
        pieces.items.append(
            ItemOf(codeType, SafeAddress(result.ImageUrl), SafeAddress(result.ThumbUrl), ++n, perRow));
    return pieces;
}

} // namespace

QStringList CodeTypeLabels()
{
    return {
        QStringLiteral("BBCode - Таблица эскизов с увеличением по клику"),
        QStringLiteral("BBCode - Эскизы с увеличением по клику"),
        QStringLiteral("BBCode - Только изображения"),
        QStringLiteral("BBCode - Ссылки на изображения"),
        QStringLiteral("Простые ссылки"),
        QStringLiteral("HTML - Таблица эскизов с увеличением по клику"),
        QStringLiteral("HTML - Только изображения"),
    };
}

int ImagesPerRow(QStringView boxText)
{
    bool ok = false;
    const int value = boxText.trimmed().toInt(&ok);
    return ok && value >= 1 ? value : kDefaultImagesPerRow;
}

QString SafeAddress(QStringView address)
{
    QString out;
    out.reserve(address.size());
    for (const QChar c : address) {
        const bool breaksOut = c == u'"' || c == u'<' || c == u'>' || c == u'[' || c == u']';
        if (!breaksOut && !c.isSpace() && c.category() != QChar::Other_Control) {
            out += c;
            continue;
        }
        for (const char byte : QString(c).toUtf8())
            out += QStringLiteral("%%1").arg(uchar(byte), 2, 16, QChar(u'0')).toUpper();
    }
    return out;
}

QString GenerateCode(
    const QList<UploadResult>& results, int codeType, int imagesPerRow, const CodeTemplate& tmpl)
{
    const int perRow = imagesPerRow >= 1 ? imagesPerRow : kDefaultImagesPerRow;
    const CodePieces pieces = PiecesOf(results, codeType, perRow);
    QString code = tmpl.Head.value_or(QString()) + pieces.open;
    for (const QString& item : pieces.items)
        code += item;
    return code + pieces.close + tmpl.Tail.value_or(QString());
}
