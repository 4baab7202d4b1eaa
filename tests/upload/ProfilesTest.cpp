// SPDX-License-Identifier: MIT
// Services described as data: reading a profile file, the dynamic values of its answer rules,
// and where the user's profiles are kept.
#include "tests/support/Hosts.h"
#include "tests/support/TempDir.h"
#include "upload/UploadEngine.h"
#include "upload/profiles/JsonText.h"
#include "upload/profiles/ServiceCatalog.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray Profile(const QByteArray& members)
{
    return "{\n  \"Name\": \"Mine\",\n  \"RequestURL\": \"https://up.example/api\",\n  \"FileFormName\": "
           "\"file\""
        + (members.isEmpty() ? QByteArray() : ",\n  " + members) + "\n}\n";
}

} // namespace

TEST(ProfileReader, GoodAndBrokenFiles)
{
    const ProfileRead full = ReadServiceProfile(Profile(
        R"("Version": "15.0.0", "DestinationType": "ImageUploader, TextUploader", "RequestMethod": "put",
  "Parameters": {"b": "2", "a": "1"}, "Headers": {"X-Key": "k", "User-Agent": "me"},
  "Arguments": {"z": "{filename}", "n": 5}, "URL": "{json:$.data.url}", "ThumbnailURL": "{json:data.thumb}",
  "DeletionURL": "{json:data.delete}", "ErrorMessage": "{json:error.message}", "Body": "formurlencoded")"));
    ASSERT_TRUE(full.ok()) << full.error.toStdString();
    const ServiceProfile& p = full.profile;
    EXPECT_EQ(p.name, "Mine");
    EXPECT_EQ(p.method, "PUT");
    EXPECT_EQ(p.body, ProfileBody::FormUrlEncoded);
    // Order as written, numbers as text.
    EXPECT_EQ(p.parameters, (QList<ProfileEntry> {{"b", "2"}, {"a", "1"}}));
    EXPECT_EQ(p.headers, (QList<ProfileEntry> {{"X-Key", "k"}, {"User-Agent", "me"}}));
    EXPECT_EQ(p.arguments, (QList<ProfileEntry> {{"z", "{filename}"}, {"n", "5"}}));
    EXPECT_EQ(p.url, "{json:$.data.url}");
    EXPECT_EQ(p.deletionUrl, "{json:data.delete}");
    // A nameless profile is named after its host; the body defaults to a form.
    const ProfileRead bare
        = ReadServiceProfile(R"({"RequestURL": "http://h.example:81/x", "FileFormName": "f"})");
    EXPECT_EQ(bare.profile.name, "h.example");
    EXPECT_EQ(bare.profile.body, ProfileBody::MultipartForm);
    // UTF-8 with or without its byte-order mark, UTF-16 of either order with one.
    const QString text = QString::fromUtf8(Profile(R"("Headers": {"X-Name": "Café"})"));
    QByteArray le = "\xFF\xFE", be = "\xFE\xFF";
    for (const QChar c : text) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    for (const QByteArray& bytes : {"\xEF\xBB\xBF" + text.toUtf8(), le, be})
        EXPECT_EQ(ReadServiceProfile(bytes).profile.headers, (QList<ProfileEntry> {{"X-Name", "Café"}}));

    // The file and why it is refused.
    const std::pair<QByteArray, const char*> broken[] = {
        {"{\n  \"Name\": \"x\",\n  \"RequestURL\": \"http://a\"\n  \"Body\": \"JSON\"\n}",
            "line 4: not JSON: expected ',' or '}': unexpected '\"'"},
        {"[1, 2]", "line 1: the file holds a list, not a service's object"},
        {R"({"Name": "x", "FileFormName": "f"})",
            "line 1, field RequestURL: missing; the service's address is needed"},
        {Profile(R"("Headers": "X-Key: k")"), "line 5, field Headers: expected an object, found a text"},
        {Profile(R"("Body": "XML")"),
            "line 5, field Body: unknown body kind \"XML\"; one of MultipartFormData, FormURLEncoded, JSON, "
            "Binary, None"},
        {Profile(R"("RequestMethod": "DELETE")"),
            "line 5, field RequestMethod: unknown method \"DELETE\"; one of POST, PUT, PATCH, GET"},
        {R"({"RequestURL": "http://a"})",
            "line 1, field FileFormName: missing; a form needs the name of its file field"},
        {Profile(R"("URL": "{jsn:url}")"), "line 5, field URL: unknown dynamic value {jsn}"},
        {Profile(R"("URL": "{json:url")"),
            "line 5, field URL: the value at character 1 is not closed with '}'"},
        {Profile(R"("URL": "{json:a..b}")"), "line 5, field URL: {json:a..b}: not a JSON path"},
        {Profile(R"("URL": "{regex:(a|1}")"), "line 5, field URL: {regex:(a}: missing closing parenthesis"},
        {Profile(R"("Arguments": {"a": {"b": 1}})"),
            "line 5, field Arguments.a: expected a text, found an object"},
        {Profile(R"("Headers": {"X-A": "1\r\nX-Forged: 2"})"),
            "line 5, field Headers.X-A: not a valid header line"},
        {Profile(R"("DestinationType": "URLShortener")"),
            "line 5, field DestinationType: the service takes no pictures or files (URLShortener)"},
        {R"({"RequestURL": "ftp://a/", "FileFormName": "f"})",
            "line 1, field RequestURL: not an http or https address"},
        {Profile(R"("Name": "x")"), "line 5, field Name: given twice"},
        {R"({"Name": "a\u001bb", "RequestURL": "http://a", "FileFormName": "f"})",
            "line 1, field Name: holds a control character"},
        {R"({"RequestURL": "http://a", "FileFormName": "f\"\r\nX: y"})",
            "line 1, field FileFormName: not a valid form field name"},
        {Profile(R"("Arguments": {"a\"": "1"})"), "line 5, field Arguments.a\": not a valid form field name"},
        {Profile(R"("RequestMethod": "P\u001bOST")"),
            "line 5, field RequestMethod: unknown method \"P?OST\"; one of POST, PUT, PATCH, GET"},
        // The older syntax is converted from version 12.4 on; before, or without a version, it is refused.
        {Profile(R"("Version": "12.3.1", "URL": "$json:data.url$")"),
            "line 5, field URL: written in the old $…$ syntax (the file is in format version 12.3.1; Vellmar "
            "converts that syntax from version 12.4 on)"},
        {Profile(R"("RegexList": ["a"])"),
            "line 5, field RegexList: written in the old $…$ syntax (the file names no format version; "
            "Vellmar "
            "converts that syntax from version 12.4 on)"},
        {Profile(R"("Version": "13.0.0", "URL": "$regex:2|1$", "RegexList": ["a"])"),
            "line 5, field URL: $regex:2|1$ names regular expression 2 of the RegexList, which has 1"},
        {Profile(
             "\"URL\": \"" + QByteArray("{base64:").repeated(20000) + QByteArray("}").repeated(20000) + '"'),
            "line 5, field URL: the value at character 257 is nested more than 32 values deep"},
    };
    for (const auto& [text, error] : broken) {
        SCOPED_TRACE(text.left(200).toStdString());
        const ProfileRead read = ReadServiceProfile(text);
        EXPECT_EQ(read.error, QString::fromUtf8(error));
        // Never half loaded.
        EXPECT_EQ(read.profile, ServiceProfile());
    }
}

TEST(ProfileReader, OlderSyntaxIsConverted)
{
    // The members in the older syntax; the field they land in and its value.
    const std::tuple<QByteArray, QString ServiceProfile::*, const char*> cases[] = {
        {R"("URL": "$json:data.link$")", &ServiceProfile::url, "{json:data.link}"},
        // A RegexList entry goes inline, written so that the current syntax takes it as it is.
        {R"("URL": "https://i.example/$regex:1|1$", "RegexList": ["id=(\\d+)|{x}"])", &ServiceProfile::url,
            R"(https://i.example/{regex:id=(\\d+)\|\{x\}|1})"},
        {R"("URL": "\\$1 {a} $response$ $header:X\\|Y$")", &ServiceProfile::url,
            R"(\$1 \{a\} {response} {header:X\|Y})"},
        {R"("Body": "JSON", "Data": "{\"f\": \"$filename$\", \"t\": \"$input$\", \"p\": \"a\\b $x$\"}")",
            &ServiceProfile::data, R"(\{"f": "{filename}", "t": "{input}", "p": "a\\b $x$"\})"},
        {R"("RequestType": "PUT", "ResponseType": "RedirectionURL")", &ServiceProfile::url, "{responseurl}"},
        {R"("RequestType": "PUT", "RequestMethod": "PATCH", "ResponseType": "LocationHeader", "URL": "$response$/x")",
            &ServiceProfile::url, "{header:Location}/x"},
    };
    for (const auto& [members, field, value] : cases) {
        SCOPED_TRACE(members.constData());
        const ProfileRead read = ReadServiceProfile(Profile(R"("Version": "13.1.0", )" + members));
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_EQ(read.convertedFrom, "13.1.0");
        EXPECT_EQ(read.profile.*field, QString::fromUtf8(value));
        // Written in the current syntax, it reads back the same.
        EXPECT_EQ(ReadServiceProfile(WriteServiceProfile(read.profile)).profile, read.profile);
    }
    // A query string in the address becomes parameters.
    const ProfileRead query
        = ReadServiceProfile(R"({"Version": "12.4.1", "RequestType": "PUT", "FileFormName": "f",
        "RequestURL": "https://up.example/api.php?k=a%20b&f=$filename$"})");
    EXPECT_EQ(query.profile.requestUrl, "https://up.example/api.php");
    EXPECT_EQ(query.profile.parameters, (QList<ProfileEntry> {{"k", "a b"}, {"f", "{filename}"}}));
    EXPECT_EQ(query.profile.method, "PUT");
    AnswerContext answer;
    answer.body = "<a href=/v/id=42>";
    EXPECT_EQ(EvaluateDynamic(
                  ReadServiceProfile(Profile(std::get<0>(cases[1]) + R"(, "Version": "13.7.0")")).profile.url,
                  answer),
        "https://i.example/42");
    // From version 14 on, $…$ is text and '\' takes any next character as it is.
    EXPECT_EQ(
        EvaluateDynamic(ReadServiceProfile(Profile(R"("Version": "14.0.0", "URL": "$x$ {regex:(\\\\d+)|1}")"))
                            .profile.url,
            answer),
        "$x$ 42");
}

TEST(JsonText, StrictAboutWhatItReads)
{
    // Answers are untrusted: each fault is named with its line, and nothing else is taken.
    // The text; the fault named and its line.
    const std::tuple<QByteArray, const char*, int> broken[] = {
        {"{\"a\": \"open", "a string is not closed", 1},
        {"[\"\\x\"]", "unknown escape \\x", 1},
        {"[\"\\u12G4\"]", "\\u needs four hex digits", 1},
        {"[\n\"\\ud83d\"]", "a surrogate pair is incomplete", 2},
        {"[\"\\ude00\"]", "a surrogate pair is incomplete", 1},
        {"[\"a\tb\"]", "a string holds a control character; write it as an escape", 1},
        {"[\"\xC3\x28\"]", "a string is not valid UTF-8", 1},
        {"[-]", "a number without digits", 1},
        {"[1.]", "a number without digits behind '.'", 1},
        {"[1e+]", "a number without digits in its exponent", 1},
        {"[01]", "expected ',' or ']': unexpected '1'", 1},
        {"{\"a\" 1}", "expected ':' behind a member name: unexpected '1'", 1},
        {"{1: 2}", "expected a member name: unexpected '1'", 1},
        {"[tru]", "unexpected 't'", 1},
        {"{}\n\n x", "after the end of the value: unexpected 'x'", 3},
        {"\x01", "unexpected byte 0x01", 1},
        {QByteArray(300, '['), "nested more than 256 levels deep", 1},
    };
    for (const auto& [text, error, line] : broken) {
        SCOPED_TRACE(text.left(40).toStdString());
        const JsonParse parsed = ParseJson(text);
        EXPECT_EQ(parsed.error, QString::fromUtf8(error));
        EXPECT_EQ(parsed.line, line);
    }
    const JsonParse good = ParseJson(
        "\xEF\xBB\xBF [\"\\ud83d\\ude00 \\u00e9\\/\", -1.5e3, true, null, {\"k\": [], \"k\": {}}]");
    ASSERT_EQ(good.error, QString());
    EXPECT_EQ(CompactJson(good.value), QString::fromUtf8("[\"😀 é/\",-1.5e3,true,null,{\"k\":[],\"k\":{}}]"));
    EXPECT_TRUE(ParseJsonPath(u"$").value_or(QList<JsonPathStep>(1)).isEmpty()) << "the whole value";
    for (const char* bad : {"$x", "a.", "[x]", "a[1", "", ".a", "a]", "['a'", "['a]", "[\"a']"})
        EXPECT_FALSE(ParseJsonPath(QString::fromLatin1(bad))) << bad;
}

TEST(DynamicValues, AgainstOneAnswer)
{
    AnswerContext json;
    json.body = R"({"data": {"url": "https://i.example/a.png", "n": 12, "ok": true, "none": null,
        "files": [{"u": "first"}, {"u": "second"}], "obj": {"k": "v"}}, "text": "café \"quoted\"", "a.b c": 1})";
    json.responseUrl = QStringLiteral("https://up.example/done");
    json.headers = {{"Location", "https://i.example/loc"}, {"X-Delete", " https://i.example/del "}};
    json.fileName = QStringLiteral("photo 1.jpg");
    json.variables = {{QStringLiteral("host"), QStringLiteral("h.example")}};
    AnswerContext xml;
    xml.body
        = R"(<?xml version="1.0"?><r><img id="7"><url>https://x/1</url></img><img id="8"><url>https://x/2</url></img></r>)";
    AnswerContext deep;
    deep.body = QByteArray("<a>").repeated(300) + "x" + QByteArray("</a>").repeated(300);
    AnswerContext html;
    html.body = "<a href=\"https://i.example/p/abc\">view</a> id=42; [IMG]http://t[/IMG][IMG]http://p[/IMG]";

    // The answer, the expression and its value.
    const std::tuple<const AnswerContext*, const char*, const char*> cases[] = {
        {&json, "{json:data.url}", "https://i.example/a.png"},
        {&json, "{json:$.data.url}", "https://i.example/a.png"},
        {&json, "{json:data.files[1].u}", "second"},
        {&json, "{json:data.n}|{json:data.ok}|{json:data.none}", "12|true|"},
        {&json, "{json:data.obj}", "{\"k\":\"v\"}"},
        // Another text than the answer: {json:input|path}, {regex:input|pattern|group}.
        {&json, "{json:{json:data.obj}|k} {regex:{header:Location}|/(\\\\w+)$|1}", "v loc"},
        {&json, "{json:['data'][\"files\"][1]['u']} {json:$['a.b c']} {json:data['it\\\\'s']}", "second 1 "},
        {&json, "{json:text}", "café \"quoted\""},
        {&json, "{json:data.missing.url}x{json:data.files[5].u}", "x"},
        {&json, "{header:location} {header:x-delete} [{header:Nope}]",
            "https://i.example/loc https://i.example/del []"},
        {&json, "{responseurl}?f={filename}&h={host}", "https://up.example/done?f=photo 1.jpg&h=h.example"},
        {&json, "{base64:user:pa\\|ss}", "dXNlcjpwYXxzcw=="},
        {&json, R"(\{json:data.url\} and \| and {"raw": 1} and \n \\)",
            R"({json:data.url} and | and {"raw": 1} and n \)"},
        {&xml, "{xml:/r/img[2]/url}", "https://x/2"},
        {&xml, "{xml://url}", "https://x/1"},
        {&xml, "{xml:/r/img[2]/@id} {xml:/r/nothing}", "8 "},
        {&xml, "{xml:count(//img)} {xml://img[@id='8']/url}", "2 https://x/2"},
        {&html, "{regex:href=\"([^\"]+)\"|1}", "https://i.example/p/abc"},
        {&html, "{regex:id=(?<id>\\\\d+)|id}", "42"},
        {&html, "{regex:nomatch(\\d)|1}", ""},
        {&html, "{tags:[IMG]|[/IMG]|2}/{tags:[IMG]|[/IMG]|1}", "http://p/http://t"},
        {&html, "{json:a}{xml:/a}", ""},
        {&deep, "[{xml://a}]", "[]"},
    };
    for (const auto& [context, expression, value] : cases) {
        SCOPED_TRACE(expression);
        EXPECT_EQ(CheckDynamic(QString::fromUtf8(expression)), QString());
        EXPECT_EQ(EvaluateDynamic(QString::fromUtf8(expression), *context), QString::fromUtf8(value));
    }
    EXPECT_EQ(EvaluateDynamic(QStringLiteral("{response}"), html), QString::fromUtf8(html.body));
    // Nested beyond any real rule: refused, whether checked or evaluated, never a crash.
    const QString nested = QStringLiteral("{base64:").repeated(20000) + QStringLiteral("}").repeated(20000);
    bool nothing = false;
    EXPECT_EQ(EvaluateDynamic(nested, json, {}, &nothing), QString());
    EXPECT_TRUE(nothing);
    EXPECT_EQ(CheckDynamic(nested), "the value at character 257 is nested more than 32 values deep");
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(
            QStringList({"a", "b|c"}).contains(EvaluateDynamic(QStringLiteral("{random:a|b\\|c}"), json)));
}

TEST(ServiceCatalog, AddListChoose)
{
    TestDir dir;
    QDir(UserServiceFolder()).removeRecursively();
    const QString good = dir.write("mine.sxcu", Profile(R"("URL": "{json:url}")"));
    const QString broken = dir.write("broken.sxcu", Profile(R"("URL": "{json:url")"));

    const AddedService added = AddUserService(good);
    EXPECT_EQ(added.path, UserServiceFolder() + "/Mine.sxcu");
    EXPECT_EQ(added.profile.name, "Mine");
    // An older file is kept converted; profiles hold keys, so only the user may read them.
    const QString old
        = dir.write("old.sxcu", R"({"Version": "13.2.0", "Name": "Café/1", "RequestURL": "http://a",
        "FileFormName": "f", "Headers": {"Authorization": "k"}, "URL": "$json:url$"})");
    const QString kept = UserServiceFolder() + "/Café-1.sxcu";
    EXPECT_EQ(AddUserService(old).convertedFrom, "13.2.0");
    EXPECT_EQ(TestDir::read(kept), WriteServiceProfile(ReadServiceProfileFile(old).profile));
    EXPECT_EQ(QFile::permissions(kept),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(QFile::permissions(UserServiceFolder()),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadUser
            | QFileDevice::WriteUser | QFileDevice::ExeUser);
    QFile::remove(kept);
    // The program's own names stay unambiguous.
    const QString taken
        = dir.write("taken.sxcu", R"({"Name": "radikal", "RequestURL": "http://a", "FileFormName": "f"})");
    // A name that would make a hidden file still makes a listed one.
    const QString hidden = AddUserService(
        dir.write("dots.sxcu", R"({"Name": "..hidden?", "RequestURL": "http://a", "FileFormName": "f"})"))
                               .path;
    EXPECT_EQ(hidden, UserServiceFolder() + "/hidden?.sxcu");
    // Two names of one file name: the second takes a further one, never the first's file.
    const QString slash = AddUserService(
        dir.write("slash.sxcu", R"({"Name": "x/y", "RequestURL": "http://a", "FileFormName": "f"})"))
                              .path;
    const QString dash = AddUserService(
        dir.write("dash.sxcu", R"({"Name": "x-y", "RequestURL": "http://a", "FileFormName": "f"})"))
                             .path;
    EXPECT_EQ(QStringList({slash, dash}),
        QStringList({UserServiceFolder() + "/x-y.sxcu", UserServiceFolder() + "/x-y-2.sxcu"}));
    for (const QString& path : {hidden, slash, dash})
        QFile::remove(path);
    EXPECT_EQ(AddUserService(taken).error,
        taken + ": the name \"radikal\" is taken by one of the program's own services");
    // The same name again replaces the profile; a broken file in the folder is named, not listed.
    AddUserService(dir.write("again.sxcu", Profile(R"("URL": "{json:link}")")));
    QFile::copy(broken, UserServiceFolder() + QStringLiteral("/broken.sxcu"));
    // What cannot be a profile is named and never read; a profile others may read is still used.
    ASSERT_EQ(::mkfifo(QFile::encodeName(UserServiceFolder() + "/fifo.sxcu").constData(), 0600), 0);
    QFile::link(QStringLiteral("/dev/zero"), UserServiceFolder() + "/zero.sxcu");
    QFile::setPermissions(UserServiceFolder() + "/Mine.sxcu",
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);

    const ServiceCatalog catalog = ServiceCatalog::Load();
    // The order of the list is the command line's to show; here what is in it.
    EXPECT_EQ(catalog.Find("mine")->profile.url, "{json:link}");
    EXPECT_EQ(catalog.Find("2")->builtIn, ServiceId::Radikal);
    EXPECT_EQ(catalog.Find("7")->name, "Mine");
    EXPECT_EQ(catalog.Find("8"), nullptr);
    EXPECT_EQ(catalog.problems,
        QStringList({UserServiceFolder()
                + "/broken.sxcu: line 5, field URL: the value at "
                  "character 1 is not closed with '}'",
            UserServiceFolder() + "/fifo.sxcu: not a regular file",
            UserServiceFolder() + "/zero.sxcu: not a regular file"}));
    EXPECT_EQ(catalog.warnings,
        QStringList({UserServiceFolder()
            + "/Mine.sxcu: other users may read it, and a profile may hold a key; chmod 600 it"}));

    MainPart::MainKeys main;
    main.Service = QStringLiteral("smages");
    EXPECT_EQ(ChooseService(main, catalog).builtIn, ServiceId::Smages);
    main.Service = QStringLiteral("gone");
    EXPECT_EQ(ChooseService(main, catalog).error,
        "there is no service named \"gone\" (the user's services are in " + UserServiceFolder() + ")");
    main.ServiceFile = good; // a session's file comes first
    EXPECT_EQ(ChooseService(main, catalog).profile->url, "{json:url}");
    QDir(UserServiceFolder()).removeRecursively();
}
