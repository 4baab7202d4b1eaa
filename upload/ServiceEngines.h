// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadEngine.h"

// The program's five hosting services: each is the one engine with its own profile, talking to
// the host configured for it. Both addresses must come back, as their answer pages promise.

/// The one engine with the profile of `service` and `host` as its {host}.
template<ServiceId service> class CBuiltInUploadEngine : public CProfileEngine
{
public:
    explicit CBuiltInUploadEngine(const QString& host, EngineContext context = {})
        : CProfileEngine(BuiltInProfile(service), {{QStringLiteral("host"), host}}, std::move(context), true)
    { }
};

using CImageshackUploadEngine = CBuiltInUploadEngine<ServiceId::ImageShack>;
using CKeep4uUploadEngine = CBuiltInUploadEngine<ServiceId::Keep4u>;
using CRadikalUploadEngine = CBuiltInUploadEngine<ServiceId::Radikal>;
using CSmagesUploadEngine = CBuiltInUploadEngine<ServiceId::Smages>;
using CIpictureUploadEngine = CBuiltInUploadEngine<ServiceId::IPicture>;
