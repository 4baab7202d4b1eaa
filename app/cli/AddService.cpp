// SPDX-License-Identifier: MIT
#include "app/cli/CliTools.h"
#include "upload/profiles/ServiceCatalog.h"

int AddService(const QString& file, QTextStream& out, QTextStream& err)
{
    const AddedService added = AddUserService(file);
    if (!added.error.isEmpty()) {
        err << "vellmar-upload: " << added.error << '\n' << Qt::flush;
        return 2;
    }
    out << "added \"" << added.profile.name << "\" as " << added.path;
    if (!added.convertedFrom.isEmpty())
        out << " (converted from format version " << added.convertedFrom << " to the current syntax)";
    out << '\n' << Qt::flush;
    return 0;
}
