// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <array>
#include <utility>

/// The upload form of one of the program's five services as it goes on the wire, and how the
/// service's answer carries the two addresses. The local host answers by this table, and the
/// tests compare every request of the built-in profiles with it.
struct ServiceForm
{
    QByteArray path;
    QByteArray agent;
    /// The header lines between User-Agent and Content-Type; "%referer" stands for the Referer
    /// line, "Referer: http://<host>/".
    QList<QByteArray> headers;
    /// The fields before the file part, in order; "%size" stands for the thumbnail size.
    QList<std::pair<QByteArray, QByteArray>> fields;
    QByteArray fileField;
    bool thumbFirst = false; ///< the answer page names the thumbnail before the picture
    bool lowerCaseTags = false; ///< "[img]" and "[/img]" instead of "[IMG]" and "[/IMG]"
    bool answersWithRefresh = false; ///< the POST's answer is a Refresh header leading to the page

    /// The field that carries the thumbnail size; empty when the form has none.
    QByteArray SizeField() const;
};

/// The forms by service number.
const std::array<ServiceForm, 5>& ServiceForms();
