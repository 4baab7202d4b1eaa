// SPDX-License-Identifier: MIT
#include "ui/FailureReasons.h"

#include <QList>
#include <QRegularExpression>

namespace {

struct Wording
{
    QRegularExpression english; ///< the whole reason; %1, %2 of the English text are captured
    QString russian; ///< with the captures as %1, %2
};

Wording Entry(const char* english, const char* russian)
{
    QString pattern = QRegularExpression::escape(QString::fromUtf8(english));
    pattern.replace(QRegularExpression(QStringLiteral(R"(\\?%\d)")), QStringLiteral("(.+?)"));
    return {QRegularExpression(u'^' + pattern + u'$'), QString::fromUtf8(russian)};
}

const QList<Wording>& Table()
{
    static const QList<Wording> table = {
        Entry("host not found", "сервер не найден (нет такого адреса или нет сети)"),
        Entry("connection refused", "сервер отказал в соединении"),
        Entry("cannot connect", "не удалось соединиться с сервером"),
        Entry("the server could not be reached within %1 seconds", "сервер не ответил за %1 с"),
        Entry("no data moved for %1 seconds", "передача замерла: %1 с без данных"),
        Entry("the server closed the connection without an answer", "сервер закрыл соединение, не ответив"),
        Entry("the connection closed in the middle of the answer", "соединение оборвалось посреди ответа"),
        Entry("the connection closed while sending", "соединение оборвалось во время отправки"),
        Entry("too many redirects", "слишком много перенаправлений"),
        Entry("stopped", "остановлено"),
        Entry("the HTTP library could not start", "не удалось запустить библиотеку HTTP"),
        Entry("the HTTP library failed", "сбой библиотеки HTTP"),
        Entry("invalid request", "неверный запрос"),
        Entry("out of memory", "не хватает памяти"),
        Entry("not enough memory for the prepared picture", "не хватает памяти для картинки"),
        Entry("cannot open the file", "файл не открывается"),
        Entry("the answer's head is larger than %1 KiB", "заголовок ответа больше %1 КиБ"),
        Entry("the file changed while it was being sent", "файл изменился во время отправки"),
        Entry("the server's certificate is not trusted: %1", "сертификату сервера нет доверия: %1"),
        Entry("no secure connection: %1", "не удалось установить защищённое соединение: %1"),
        Entry("the service's address is not an http or https address", "адрес сервиса не http и не https"),
        Entry("invalid host name", "неверное имя сервера"),
        Entry("the file does not exist", "файл не найден"),
        Entry("it is a folder, not a file", "это папка, а не файл"),
        Entry("it is a folder, not a picture", "это папка, а не картинка"),
        Entry("it is not a regular file", "это не обычный файл"),
        Entry("the file is empty", "файл пуст"),
        Entry("the file is too large", "файл слишком велик"),
        Entry("the file is too large to be a picture that can be opened", "файл слишком велик для картинки"),
        Entry("the picture is too large to open (more than %1 MiB of pixels)",
            "картинка слишком велика (больше %1 МиБ точек)"),
        Entry("it cannot be read: %1", "файл не читается: %1"),
        Entry("the picture is cut short", "картинка обрезана"),
        Entry("it cannot be decoded as a picture", "это не картинка или она повреждена"),
        Entry("the picture's size leaves nothing to draw", "у картинки нулевой размер"),
        Entry("the bounded size leaves nothing to draw", "после уменьшения от картинки ничего не осталось"),
        Entry("the picture cannot be encoded as %1", "картинку не удалось записать в %1"),
        Entry("cannot write into %1: %2", "не удалось записать в %1: %2"),
        Entry("the service refused the upload", "сервис отказался принять файл"),
        Entry("no addresses in the answer", "в ответе сервиса нет адресов"),
        Entry("an empty address in the answer", "в ответе сервиса пустой адрес"),
        Entry("the answer's address is not a web address", "адрес в ответе сервиса не веб-адрес"),
        Entry("cannot find a free file name in %1", "не удалось подобрать свободное имя файла в %1"),
        Entry("not enough memory for the %1 picture", "не хватает памяти для картинки %1"),
        Entry("not enough memory to read the %1 file", "не хватает памяти, чтобы прочитать файл %1"),
        Entry("the %1 file cannot be read: %2", "файл %1 не читается: %2"),
        Entry("the %1 file holds no picture", "в файле %1 нет картинки"),
        Entry("the %1 file is damaged or cut short", "файл %1 повреждён или обрезан"),
        Entry("the %1 picture is damaged or cut short", "картинка %1 повреждена или обрезана"),
        Entry("the %1 file is damaged", "файл %1 повреждён"),
        Entry("the %1 file is cut short", "файл %1 обрезан"),
        Entry("the %1 animation is damaged", "анимация %1 повреждена"),
        Entry("the %1 picture cannot be decoded: %2", "картинку %1 не удалось раскодировать: %2"),
        Entry("the %1 picture cannot be decoded", "картинку %1 не удалось раскодировать"),
        Entry("the %1 library cannot be used", "библиотека %1 недоступна"),
        Entry("the %1 file uses a feature that cannot be decoded",
            "в файле %1 есть то, что не удаётся раскодировать"),
        Entry("the %1 rule found nothing in the answer", "правило %1 ничего не нашло в ответе сервиса"),
        Entry("the answer is larger than 256 KiB", "ответ сервиса больше 256 КиБ"),
        Entry("the answer did not end within %1 seconds of the upload",
            "ответ сервиса не закончился за %1 с после отправки"),
        Entry("the file to send is %1 bytes, more than the %2 bytes the services take",
            "файл для отправки — %1 байт, а сервисы берут не больше %2"),
    };
    return table;
}

QString Translate(const QString& reason)
{
    for (const Wording& wording : Table()) {
        const QRegularExpressionMatch match = wording.english.match(reason);
        if (!match.hasMatch())
            continue;
        // In one pass, so that a "%2" inside a captured path stays as it is.
        switch (match.lastCapturedIndex()) {
        case 0:
            return wording.russian;
        case 1:
            return wording.russian.arg(match.captured(1));
        default:
            return wording.russian.arg(match.captured(1), match.captured(2));
        }
    }
    return reason;
}

} // namespace

QString RussianReason(const QString& reason)
{
    // The engine adds the status to what a failed answer lacked.
    static const QRegularExpression status(QStringLiteral(R"(^(.*) \(HTTP status (\d+)\)$)"));
    if (const QRegularExpressionMatch match = status.match(reason); match.hasMatch())
        return QStringLiteral("%1 (код HTTP %2)").arg(Translate(match.captured(1)), match.captured(2));
    return Translate(reason);
}
