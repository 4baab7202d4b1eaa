// SPDX-License-Identifier: MIT
#include "app/cli/CliListener.h"
#include "app/cli/CliTools.h"
#include "upload/profiles/ServiceCatalog.h"

int PrepareOnly(const UploadCliOptions& options, const Settings& settings, QTextStream& out, QTextStream& err,
    const std::atomic<bool>* stop)
{
    // The worker's own walk, handing each prepared file to the folder instead of a service.
    MadeUploadJob made = JobFromOptions(options, settings, ServiceCatalog());
    made.job.prepareInto = options.prepareOnly;
    CliListener listener(options.files, CliListener::Run::Prepare, true, out, err);
    RunUpload(made.job, listener, stop, stop);
    listener.ReportUnhandled();
    return listener.failures == 0 ? 0 : 1;
}
