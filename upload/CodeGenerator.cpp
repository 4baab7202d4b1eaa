// SPDX-License-Identifier: MIT
#include "upload/CodeGenerator.h"

namespace {

constexpr int kDefaultImagesPerRow = 4;

// One code type cut into the pieces the length bound works with: an opening and a closing
// text that always stay, and one item per result, each with its separator.
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

// How many leading items fit beside `fixed` characters.
int ItemsThatFit(const QStringList& items, qsizetype fixed)
{
    qsizetype length = fixed;
    int count = 0;
    for (const QString& item : items) {
        length += item.size();
        if (length > kMaxCodeLength)
            break;
        ++count;
    }
    return fixed > kMaxCodeLength ? -1 : count;
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

GeneratedCode GenerateCode(
    const QList<UploadResult>& results, int codeType, int imagesPerRow, const CodeTemplate& tmpl)
{
    const int perRow = imagesPerRow >= 1 ? imagesPerRow : kDefaultImagesPerRow;
    const CodePieces pieces = PiecesOf(results, codeType, perRow);
    const QString head = tmpl.Head.value_or(QString());
    const QString tail = tmpl.Tail.value_or(QString());

    GeneratedCode code;
    code.ItemsTotal = int(pieces.items.size());
    const qsizetype fixed = pieces.open.size() + pieces.close.size();
    int shown = ItemsThatFit(pieces.items, fixed + head.size() + tail.size());
    // A template that crowds out every picture is worth less than the pictures: leave it out.
    const bool useTemplate = shown > 0 || (shown == 0 && pieces.items.isEmpty());
    if (!useTemplate) {
        shown = ItemsThatFit(pieces.items, fixed);
        code.TemplateDropped = !head.isEmpty() || !tail.isEmpty();
    }
    code.ItemsShown = shown;

    if (useTemplate)
        code.Text += head;
    code.Text += pieces.open;
    for (int i = 0; i < shown; ++i)
        code.Text += pieces.items[i];
    code.Text += pieces.close;
    if (useTemplate)
        code.Text += tail;
    return code;
}
