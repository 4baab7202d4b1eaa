// SPDX-License-Identifier: MIT
// GoogleTest entry point with a QApplication, so that fonts, images, painters and widgets work
// the way they do in the program (offscreen platform unless the test environment says otherwise).
#include "ui/kit/Dlu.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Everything a test writes into "the temporary directory" lands in a folder of its own,
    // never in the one the program uses for real.
    QTemporaryDir privateTemp(QDir::tempPath() + QStringLiteral("/vellmar-tests-XXXXXX"));
    if (privateTemp.isValid()) {
        qputenv("TMPDIR", QFile::encodeName(privateTemp.path()));
        // Services a test adds go to a configuration folder of its own, not the user's.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(privateTemp.path() + QStringLiteral("/config")));
        // And so does the upload history of every upload a test makes.
        qputenv("XDG_DATA_HOME", QFile::encodeName(privateTemp.path() + QStringLiteral("/data")));
        // A runtime folder of its own, so a wizard the test starts never reaches the user's
        // running program through its socket (and Qt, which wants one, does not warn).
        const QString runtime = privateTemp.path() + QStringLiteral("/runtime");
        if (QDir().mkdir(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    QApplication app(argc, argv);
    // The layouts are checked in the faces the program draws them in.
    for (const QString& face : PrepareDialogFonts())
        std::fprintf(stderr, "missing font %s: layouts follow a substitute\n", qPrintable(face));
    return RUN_ALL_TESTS();
}
