// SPDX-License-Identifier: MIT
#include "upload/UploadJob.h"

#include "upload/profiles/ServiceCatalog.h"

MadeUploadJob MakeUploadJob(const Settings& settings, const QStringList& files,
    std::shared_ptr<TempFolder> temp, const ServiceCatalog& catalog)
{
    MadeUploadJob made;
    UploadJob& job = made.job;
    job.files = files;
    job.main = settings.main;
    job.appearance = settings.appearance;
    job.servers = settings.servers;
    job.temp = std::move(temp);
    const ChosenService chosen = ChooseService(settings.main.Main, catalog);
    job.profile = chosen.profile;
    // A name that is one of the program's own services is that service's number.
    if (chosen.builtIn)
        job.main.Main.ServerID = *chosen.builtIn;
    made.error = chosen.error;
    return made;
}
