// SPDX-License-Identifier: MIT
#include "ui/ServiceInstall.h"

#include "upload/profiles/ServiceCatalog.h"

ServiceInstallNotice InstallServiceFiles(const QStringList& files)
{
    QStringList added;
    QStringList refused;
    for (const QString& file : files) {
        const AddedService service = AddUserService(file);
        if (!service.error.isEmpty())
            refused << service.error;
        else if (service.convertedFrom.isEmpty())
            added << QStringLiteral("«%1»").arg(service.profile.name);
        else
            added << QStringLiteral("«%1» (файл версии %2 преобразован в нынешний синтаксис)")
                         .arg(service.profile.name, service.convertedFrom);
    }
    ServiceInstallNotice notice;
    if (!added.isEmpty())
        notice.added
            = QStringLiteral("Добавлены сервисы: %1.\nИх можно выбрать на странице параметров загрузки.")
                  .arg(added.join(QStringLiteral(", ")));
    if (!refused.isEmpty())
        notice.refused = QStringLiteral("Файл сервиса не добавлен:\n") + refused.join(u'\n');
    return notice;
}
