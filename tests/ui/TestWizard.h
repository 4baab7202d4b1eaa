// SPDX-License-Identifier: MIT
#pragma once

#include "settings/SettingsStore.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"
#include "ui/CWizardDlg.h"
#include "ui/wizard/CWizardPage.h"

#include <QAbstractButton>

/// The wizard of one test: a folder of its own, the settings read from its vellmar.ini (holding
/// `ini`, or missing when that is empty: a first start), and the frame on them.
struct TestWizard
{
    explicit TestWizard(const QByteArray& ini = {})
        : settings(ini.isEmpty() ? dir.file(QStringLiteral("vellmar.ini"))
                                 : dir.write(QStringLiteral("vellmar.ini"), ini))
        , frame(settings)
    { }

    QAbstractButton* Button(WizardButton id) { return ButtonById(&frame, id); }
    /// Page `index`, made first when it does not exist yet.
    template<class Page> Page* PageAt(int index)
    {
        frame.CreatePage(index);
        return static_cast<Page*>(frame.Page(index));
    }
    /// Control `id` of page `index`.
    template<class T> T* Control(int index, int id)
    {
        return PageAt<CWizardPage>(index)->PageWnd->findChild<T*>(QString::number(id));
    }

    TestDir dir;
    SettingsStore settings;
    CWizardDlg frame;
};
