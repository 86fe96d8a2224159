#include "app/Startup.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The files the application and the main scene load at start-up, relative to the data folder.
const char* const kDataFiles[] = {
    "resources/resources.xml",
    "resources/gui.xml",
    "resources/resources_main.xml",
    "resources/gui_main.xml",
};

const char kUsage[] =
    "usage: quillwave [PROJECT.xml]\n"
    "       quillwave --help | --version\n"
    "\n"
    "Quillwave is a sound-design tool: a project is a set of voices, each an oscillator with an\n"
    "optional envelope and an optional modulating carrier. You hear the mix while you edit,\n"
    "save it as a WAV, FLAC or Ogg Vorbis file, and save and open projects as XML files.\n"
    "\n"
    "With PROJECT.xml the window opens with that project loaded, as the Open command loads it;\n"
    "a project that cannot be read (missing, not a regular file, not readable) is reported in\n"
    "a warning box, and a new project is shown.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Unsaved work is autosaved to $XDG_STATE_HOME/quillwave/ (~/.local/state/quillwave/) and\n"
    "offered for recovery after a crash; recent projects, the dialogs' folders and the window's\n"
    "size are kept in $XDG_CONFIG_HOME/quillwave/. SIGTERM and SIGHUP keep unsaved work in the\n"
    "autosave. The keys are listed in quillwave(1).\n"
    "\n"
    "The program reads its resources from ../share/quillwave beside its executable (from a\n"
    "build tree, from the source tree's resources/).\n"
    "\n"
    "Exit status: 0 when the window is closed; 1 when the resources cannot be found or the\n"
    "window cannot be shown (no display, no window, no OpenGL context: the reason is printed\n"
    "on standard error); 2 on a bad command line.\n";

bool IsInside(const fs::path& path, const fs::path& folder)
{
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty()) // the empty element a trailing slash leaves
            continue;
        if (p == path.end() || *p != *f)
            return false;
    }
    return true;
}

} // namespace

const char* StartupUsage() { return kUsage; }

StartupCommand ParseStartupCommand(int argc, const char* const* argv, const std::string& workingFolder)
{
    StartupCommand command;
    bool options = true;
    bool named = false;
    for (int i = 1; i < argc && argv; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (options && (arg == "-h" || arg == "--help")) {
            command.action = StartupCommand::Help;
            return command;
        }
        if (options && arg == "--version") {
            command.action = StartupCommand::Version;
            return command;
        }
        if (options && arg == "--") {
            options = false;
            continue;
        }
        if (options && arg.size() > 1 && arg[0] == '-') {
            command.action = StartupCommand::Fail;
            command.error = "unknown option " + arg;
            return command;
        }
        if (arg.empty() || named) {
            command.action = StartupCommand::Fail;
            command.error = arg.empty() ? "empty project path" : "more than one project: " + arg;
            return command;
        }
        named = true;
        fs::path path(arg);
        if (path.is_relative() && !workingFolder.empty())
            path = fs::path(workingFolder) / path;
        command.project = path.lexically_normal().string();
    }
    return command;
}

std::string ProjectFileProblem(const std::string& path)
{
    struct stat st;
    if (path.empty())
        return std::strerror(ENOENT);
    if (stat(path.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return std::strerror(EISDIR);
    if (!S_ISREG(st.st_mode))
        return "Not a regular file";
    if (access(path.c_str(), R_OK) != 0)
        return std::strerror(errno);
    return std::string();
}

std::vector<std::string> DataFolderCandidates(const DataFolderPlaces& places)
{
    std::vector<fs::path> folders;
    const fs::path exe = fs::path(places.executableFolder).lexically_normal();
    if (!places.executableFolder.empty())
        folders.push_back(exe / ".." / "share" / "quillwave");
    if (!places.workingFolder.empty())
        folders.push_back(places.workingFolder);
    if (!places.executableFolder.empty()) {
        folders.push_back(exe);
        folders.push_back(exe / "..");
    }
    if (!places.sourceFolder.empty() && !places.buildFolder.empty() && !places.executableFolder.empty() &&
        IsInside(exe, fs::path(places.buildFolder).lexically_normal()))
        folders.push_back(places.sourceFolder);

    std::vector<std::string> candidates;
    for (const fs::path& folder : folders) {
        if (!folder.is_absolute())
            continue; // a relative candidate would depend on where the program stands
        std::string normal = folder.lexically_normal().string();
        while (normal.size() > 1 && normal.back() == '/')
            normal.pop_back();
        bool seen = false;
        for (const std::string& c : candidates)
            seen = seen || c == normal;
        if (!seen)
            candidates.push_back(normal);
    }
    return candidates;
}

bool IsDataFolder(const std::string& folder)
{
    if (folder.empty())
        return false;
    std::error_code error;
    for (const char* file : kDataFiles)
        if (!fs::is_regular_file(fs::path(folder) / file, error))
            return false;
    return true;
}

std::string FindDataFolder(const std::vector<std::string>& candidates)
{
    for (const std::string& folder : candidates)
        if (IsDataFolder(folder))
            return folder;
    return std::string();
}

std::string MissingDataMessage(const std::vector<std::string>& candidates)
{
    std::string message = "Cannot find Quillwave's resources (resources/gui.xml and the files beside it).";
    if (candidates.empty())
        return message + " There was nowhere to look.";
    message += " Looked in:";
    for (const std::string& folder : candidates)
        message += "\n  " + folder;
    return message;
}
