// The real program whose X server goes away: it ends at once, saying why, instead of hanging
// in exit() on the broken connection (Xlib's own way out ran the destructors, which waited on
// that connection for ever, spinning).
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Waits up to limit for check; true when it held.
template <class Check>
bool WaitFor(std::chrono::milliseconds limit, Check check)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!check()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

TEST(DisplayLoss, TheProgramEndsWhenItsXServerGoes)
{
    const std::string program = std::string(QW_BUILD_DIR) + "/quillwave";
    if (access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << "the program is not built: " << program;
    if (std::system("command -v Xvfb > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "Xvfb is not installed";
    TempDir dir;
    // A display of this test's own, numbered past those xvfb-run takes.
    const int number = 300 + static_cast<int>(getpid() % 600);
    const std::string display = ":" + std::to_string(number);
    const pid_t server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    ASSERT_TRUE(WaitFor(10s, [&] { return fs::exists(socket); })) << "Xvfb did not start on " << display;

    const std::string errors = dir.File("stderr.txt");
    const pid_t app = fork();
    ASSERT_GE(app, 0);
    if (app == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        const int null = open("/dev/null", O_WRONLY);
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(null, 1);
        dup2(err, 2);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // The window is up once the software renderer's threads run beside the main one.
    const std::string tasks = "/proc/" + std::to_string(app) + "/task";
    const bool up = WaitFor(60s, [&] {
        std::error_code error;
        const auto count = std::distance(fs::directory_iterator(tasks, error), fs::directory_iterator());
        return !error && count >= 3;
    });
    std::this_thread::sleep_for(500ms); // into its main loop
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);

    int status = 0;
    const bool ended = WaitFor(20s, [&] { return waitpid(app, &status, WNOHANG) == app; });
    if (!ended) {
        kill(app, SIGKILL);
        waitpid(app, nullptr, 0);
    }
    ASSERT_TRUE(up) << "the program's window never came up";
    ASSERT_TRUE(ended) << "the program hung after its display went away";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    std::ifstream in(errors);
    const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(said.find("the connection to the display was lost"), std::string::npos) << said;
}

} // namespace
