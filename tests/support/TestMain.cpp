// SPDX-License-Identifier: MIT
// GoogleTest entry point with a QGuiApplication, so that fonts, images and painters work
// the way they do in the program (offscreen platform unless the test environment says otherwise).
#include <QDir>
#include <QGuiApplication>
#ifdef VELLMAR_TEST_WIDGETS
#include <QApplication>
#endif
#include <QTemporaryDir>
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
        // Qt wants a private runtime folder and warns on every start without one.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            const QString runtime = privateTemp.path() + QStringLiteral("/runtime");
            if (QDir().mkdir(
                    runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
                qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        }
    }
#ifdef VELLMAR_TEST_WIDGETS
    QApplication app(argc, argv);
#else
    QGuiApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
