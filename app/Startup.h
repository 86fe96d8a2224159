// What the program decides before its window opens: the meaning of its command line, and the
// data folder it runs from (the folder that holds resources/ with the description files; the
// program's working directory while it runs, since every resource path is relative to it).
// Pure decisions on paths and arguments: nothing here prints, moves the working directory or
// opens a window (app/main.cpp does, with the answers).
#pragma once

#include <string>
#include <vector>

// --- command line
struct StartupCommand {
    enum Action { Run, Help, Version, Fail };
    Action action = Run;
    // Run: the project to open once the main scene is up, absolute (a relative path is taken
    // from the working folder the parser was given); empty when none was named.
    std::string project;
    // Fail: why, as one line without the program's name.
    std::string error;
};

// argv[1..argc) as "quillwave [--help | --version | [--] [PROJECT.xml]]". --help (or -h) and
// --version win over everything after them; an unknown option, a second project or an
// empty project path fails. After "--" every argument is a path.
StartupCommand ParseStartupCommand(int argc, const char* const* argv, const std::string& workingFolder);

// Why the project named on the command line cannot be opened, found without opening it (a
// named pipe would wait for a writer, a device might never end): empty for a regular file
// this process may read; otherwise the system's text for the failure ("No such file or
// directory", "Permission denied", "Is a directory") or "Not a regular file" for a pipe,
// device or socket, as the Open dialog says it.
std::string ProjectFileProblem(const std::string& path);

// The text --help prints: usage, what the program does, the options and the exit statuses.
const char* StartupUsage();

// --- data folder
// Where the running program can look for its data.
struct DataFolderPlaces {
    std::string executableFolder; // the running executable's folder; may be empty
    std::string workingFolder;    // the working directory at start-up; may be empty
    std::string sourceFolder;     // the source tree the program was built from; may be empty
    std::string buildFolder;      // the build tree it was built in; may be empty
};

// Absolute, lexically normal candidates in the order they are tried, without repeats:
// <executable>/../share/quillwave (the installed layout), the working folder, the executable's
// folder and the one above it, and the source folder only when the executable lies inside the
// build folder (an installed copy never reads the tree it was built from).
std::vector<std::string> DataFolderCandidates(const DataFolderPlaces& places);

// True when folder holds resources/ with the application's and the main scene's resources
// files and GUI descriptions.
bool IsDataFolder(const std::string& folder);

// The first candidate that is a data folder; empty when none is.
std::string FindDataFolder(const std::vector<std::string>& candidates);

// The message for a start without data: what is missing and every candidate looked at.
std::string MissingDataMessage(const std::vector<std::string>& candidates);
