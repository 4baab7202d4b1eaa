// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <atomic>
#include <optional>

// What the command-line tools share: reading their arguments and running as a process.

/// What a command line asks for: a run with `options`, the usage text, or nothing, because of
/// `error`.
template<class Options> struct ParsedArguments
{
    enum class Action { Run, Help, Error };
    Action action = Action::Run;
    Options options;
    QString error;

    static ParsedArguments Help() { return {Action::Help, {}, {}}; }
    static ParsedArguments Error(const QString& why) { return {Action::Error, {}, why}; }
};

/// The whole of `text` as a decimal number within `low`..`high`.
std::optional<int> ParseInt(const QString& text, int low, int high);

/// `text` (a file's name, say) between double quotes, as a message quotes it: a line break,
/// another control character, a quote or a backslash in it is written as a C escape, so no name
/// can end the message's line or forge one of its own.
QString Quoted(const QString& text);

/// Why `path`, given for `what` ("settings file"), cannot be read as one: missing, a folder, a
/// FIFO or a device; empty when it is a regular file.
QString NotARegularFile(const QString& path, const QString& what);

/// For a help or error action, prints the usage (after "`tool`: error") and gives the exit
/// code: 0 for help, 2 for an error. Nothing for a run.
template<class Options>
std::optional<int> AnswerWithoutRunning(const ParsedArguments<Options>& parsed, const char* tool,
    const QString& usage, QTextStream& out, QTextStream& err)
{
    using Action = typename ParsedArguments<Options>::Action;
    switch (parsed.action) {
    case Action::Help:
        out << usage << Qt::flush;
        return 0;
    case Action::Error:
        err << tool << ": " << parsed.error << "\n\n" << usage << Qt::flush;
        return 2;
    case Action::Run:
        break;
    }
    return std::nullopt;
}

using ToolRun = int (*)(
    const QStringList& arguments, QTextStream& out, QTextStream& err, const std::atomic<bool>* stop);

/// The process around a tool: a QGuiApplication that never needs a window, standard error kept
/// for the tool's own messages, and Ctrl+C asking `run` to stop (a second one ends the process).
int ToolMain(int argc, char** argv, ToolRun run);
