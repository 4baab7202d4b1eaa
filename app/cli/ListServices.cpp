// SPDX-License-Identifier: MIT
#include "app/cli/CliTools.h"
#include "upload/profiles/ServiceCatalog.h"

int ListServices(const Settings& settings, QTextStream& out, QTextStream& err)
{
    const ServiceCatalog catalog = ServiceCatalog::Load();
    for (qsizetype i = 0; i < catalog.entries.size(); ++i) {
        const ServiceEntry& entry = catalog.entries[i];
        const QString address = entry.builtIn
            ? QStringLiteral("http://%1/").arg(settings.servers.Host[size_t(*entry.builtIn)])
            : entry.profile.requestUrl;
        out << i << '\t' << entry.name << '\t' << address << '\n';
    }
    out << Qt::flush;
    for (const QString& problem : catalog.problems)
        err << "vellmar-upload: not read: " << problem << '\n';
    for (const QString& warning : catalog.warnings)
        err << "vellmar-upload: " << warning << '\n';
    err << Qt::flush;
    return 0;
}
