// SPDX-License-Identifier: MIT
#include "testhost/ServiceForms.h"

QByteArray ServiceForm::SizeField() const
{
    for (const auto& [name, value] : fields) {
        if (value == "%size")
            return name;
    }
    return {};
}

const std::array<ServiceForm, 5>& ServiceForms()
{
    static const QByteArray winInet = "WinInet Test";
    static const std::array<ServiceForm, 5> forms {{
        {"/", winInet, {}, {{"uploadtype", "on"}}, "fileupload", true, false, false},
        {"/", winInet, {"Keep-Alive: 300", "%referer"},
            {{"disable_effects", "on"}, {"preview", "yes"}, {"preview_size", "%size"}, {"sbmt", ""}}, "pfile",
            false, false, false},
        {"/action.aspx", winInet, {"Keep-Alive: 300", "%referer"},
            {{"upload", "yes"}, {"CP", "on"}, {"VM", "%size"}, {"IM", "7"}, {"Submit", ""}}, "F", false,
            false, false},
        {"/upload", winInet, {"Keep-Alive: 300", "%referer"}, {{"Submit", ""}}, "img", true, true, false},
        {"/Upload/", "Mozilla/5.0 (Windows; U; Windows NT 5.1; ru; rv:1.8.1.11)",
            {"Connection: keep-alive", "Keep-Alive: 300", "%referer"},
            {{"rotate", "0"}, {"thumb_resize_on", "on"}, {"galleries", "12"}, {"status", "on"},
                {"thumb_resize", "%size"}},
            "userfile", false, false, true},
    }};
    return forms;
}
