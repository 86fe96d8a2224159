// The program's entry: the static application object and the entry function. The program
// finds its resources/ folder whether it starts from the repository's top folder, from
// build/ or from anywhere else: when the working directory has no resources/, it moves to
// the folder that has them (beside or above the executable, or the source tree it was built
// from).
#include "app/Application.h"

#include <filesystem>
#include <system_error>

namespace {

Application g_application;

bool HasResources(const std::filesystem::path& folder)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / "resources" / "gui_main.xml", ec);
}

void FindResources()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (HasResources(fs::current_path(ec)))
        return;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    const fs::path candidates[] = {exe.parent_path(), exe.parent_path().parent_path(), fs::path(QW_SOURCE_DIR)};
    for (const fs::path& folder : candidates)
        if (!folder.empty() && HasResources(folder)) {
            fs::current_path(folder, ec);
            return;
        }
}

} // namespace

int main(int argc, char** argv)
{
    FindResources();
    return AppMain(argc, argv);
}
