// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Why a file was not uploaded, for the reasons that name a limit or a rule: one place, so that
// the user interface can put each into its own words.
namespace Reasons {

/// An address rule of a service's profile ("URL", "ThumbnailURL", "DeletionURL") gave nothing.
inline QString RuleFoundNothing(const QString& field)
{
    return QStringLiteral("the %1 rule found nothing in the answer").arg(field);
}

/// The answer was cut at the size the program reads, and what it needed was not in that part.
inline QString AnswerTooLarge()
{
    return QStringLiteral("the answer is larger than 256 KiB");
}

/// The answer went on for longer than its limit after the request was sent.
inline QString AnswerTooSlow(long seconds)
{
    return QStringLiteral("the answer did not end within %1 seconds of the upload").arg(seconds);
}

} // namespace Reasons
