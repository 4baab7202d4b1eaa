# SPDX-License-Identifier: MIT
# Qt's and GoogleTest's headers are most of what each of our files compiles. The targets with
# many such files get them precompiled once, which a cold build (a fresh clone, CI) feels most.
option(VELLMAR_PCH "Precompile the Qt headers of the larger targets" ON)

set(VELLMAR_PCH_CORE
    <QByteArray> <QDir> <QFile> <QFileInfo> <QImage> <QList> <QObject> <QString> <QStringList>)
set(VELLMAR_PCH_WIDGETS ${VELLMAR_PCH_CORE}
    <QApplication> <QCheckBox> <QComboBox> <QDialog> <QLabel> <QLineEdit> <QPainter> <QPushButton>
    <QWidget>)

# vellmar_precompile(<target> CORE|WIDGETS|TESTS): the target's files start from those headers.
function(vellmar_precompile target set)
    if(NOT VELLMAR_PCH)
        return()
    endif()
    # Not <QTest>: it looks at which other Qt libraries a target links, which differ between tests.
    if(set STREQUAL "TESTS")
        target_precompile_headers(${target} PRIVATE ${VELLMAR_PCH_WIDGETS} <gtest/gtest.h>)
    else()
        target_precompile_headers(${target} PRIVATE ${VELLMAR_PCH_${set}})
    endif()
endfunction()
