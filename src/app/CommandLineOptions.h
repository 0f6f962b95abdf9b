#pragma once
// The program's command line, read before anything else happens: --help and --version answer
// and end without a display or a file; the other options say what this start should do, or
// what the running instance should be asked to do.
#include <QString>
#include <QStringList>

namespace gw {

struct CommandLineOptions
{
    QString settingsFile; // absolute; empty: the default settings file
    bool renderNow = false;
    bool downloadNow = false;
    bool show = false;
    bool status = false; // print where the downloads and the renders stand, and end

    bool any() const { return !settingsFile.isEmpty() || renderNow || downloadNow || show; }
};

struct CommandLine
{
    CommandLineOptions options;
    // Set when the program ends here: the text goes to stdout with code 0, else to stderr.
    bool endsNow = false;
    int exitCode = 0;
    QString text;

    // `arguments` as main() got them, the program's name first.
    static CommandLine read(const QStringList& arguments);
    static CommandLine read(int argc, char** argv);
    // Prints the text where it belongs and returns the exit code.
    int finish() const;
};

} // namespace gw
