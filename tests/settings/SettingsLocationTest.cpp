// SPDX-License-Identifier: MIT
#include "settings/SettingsLocation.h"

#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(SettingsLocation, WhereTheSettingsLive)
{
    enum Used { Beside, Config, Given };
    // beside: mode of a vellmar.ini beside the program (0: none); blocked: the user's settings
    // folder cannot be made; then the file used, and whether it was copied there at this start.
    const struct
    {
        const char* name;
        int beside;
        bool blocked;
        const char* ini;
        Used used;
        bool copied;
    } cases[] = {
        {"portable copy", 0644, false, nullptr, Beside, false},
        {"read-only beside", 0444, false, nullptr, Config, true},
        {"none beside", 0, false, nullptr, Config, false},
        {"--ini", 0644, false, "other.ini", Given, false},
        {"no settings folder", 0444, true, nullptr, Beside, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir dir;
        QDir().mkdir(dir.file("bin"));
        const QString beside = dir.file("bin/vellmar.ini");
        if (c.beside != 0) {
            WriteFile(beside, "[Main]\nServerID=2\n");
            ::chmod(QFile::encodeName(beside).constData(), c.beside);
        }
        const QString config = c.blocked ? dir.write("file", {}) + "/vellmar" : dir.file("config/vellmar");
        const QString given = c.ini ? dir.file(c.ini) : QString();
        const SettingsLocation where = LocateSettings(given, dir.file("bin"), config);
        const QString expected[] = {beside, config + "/vellmar.ini", given};
        EXPECT_EQ(where.iniPath, expected[c.used]);
        EXPECT_EQ(where.portable, c.used == Beside && !c.blocked);
        EXPECT_EQ(where.copiedFrom, c.copied ? beside : QString());
        EXPECT_EQ(where.problem.isEmpty(), !c.blocked);
        // The settings folder is the user's alone; it is made only when the settings go there.
        EXPECT_EQ(QFileInfo(config).isDir(), c.used == Config);
        EXPECT_EQ(TestDir::read(where.iniPath), c.beside && c.used != Given ? "[Main]\nServerID=2\n" : "");
        // A template left beside the program is found after the settings moved; one beside them wins.
        WriteFile(dir.file("bin/template.txt"), "x");
        EXPECT_EQ(TemplatePathFor(where.iniPath, dir.file("bin")), dir.file("bin/template.txt"));
        const QString nearSettings = QFileInfo(where.iniPath).absolutePath() + "/template.txt";
        WriteFile(nearSettings, "y");
        EXPECT_EQ(TemplatePathFor(where.iniPath, dir.file("bin")), nearSettings);
        if (c.used == Config) {
            EXPECT_EQ(QFileInfo(config).permissions().toInt() & 0x77, 0);
            // The copy is made once: the user's own changes to it stay.
            WriteFile(where.iniPath, "[Main]\nServerID=3\n");
            EXPECT_EQ(LocateSettings({}, dir.file("bin"), config).copiedFrom, QString());
            EXPECT_EQ(TestDir::read(where.iniPath), "[Main]\nServerID=3\n");
        }
    }
}

} // namespace
