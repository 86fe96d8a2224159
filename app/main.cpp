// The program's entry: the static application object and the entry function. It answers
// --help and --version without a window, finds the data folder (installed beside the
// executable as ../share/quillwave, or the source tree when run from its build tree), moves
// there because every resource path is relative to it, and hands the application the project
// named on the command line (a relative path is taken from the folder it was started from),
// which the main scene opens as its Open command does: a project that cannot be read gets
// Open's warning box and leaves the new project in place. Without data it says where it
// looked, on standard error and in a warning box, and exits 1.
#include "app/Application.h"
#include "app/Startup.h"
#include "platform/Paths.h"
#include "platform/Window.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef QW_VERSION
#define QW_VERSION "unknown"
#endif
#ifndef QW_BINARY_DIR
#define QW_BINARY_DIR ""
#endif

namespace {

Application g_application;

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path startFolder = fs::current_path(error);
    const std::string working = error ? std::string() : startFolder.string();

    const StartupCommand command = ParseStartupCommand(argc, argv, working);
    switch (command.action) {
    case StartupCommand::Help:
        std::fputs(StartupUsage(), stdout);
        return 0;
    case StartupCommand::Version:
        std::printf("quillwave %s\n", QW_VERSION);
        return 0;
    case StartupCommand::Fail:
        std::fprintf(stderr, "quillwave: %s (try --help)\n", command.error.c_str());
        return 2;
    case StartupCommand::Run:
        break;
    }
    // Past a file-size limit a save then fails with EFBIG and says so, instead of the signal
    // ending the program with the work unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> candidates =
        DataFolderCandidates({PlatformExecutableFolder(), working, QW_SOURCE_DIR, QW_BINARY_DIR});
    const std::string data = FindDataFolder(candidates);
    error.clear();
    if (!data.empty())
        fs::current_path(data, error);
    if (data.empty() || error) {
        PlatformShowWarning("Quillwave", MissingDataMessage(candidates).c_str());
        return 1;
    }
    g_application.SetStartupProject(command.project.c_str());
    return AppMain(argc, argv);
}
