// Only media/ and platform/ talk to OpenGL: the widgets (gui/) and the application (app/)
// draw through media/'s shapes, wrappers and drawing-state scopes. This test reads their
// sources and fails with the file and line of any direct gl call or GL header include, so
// the one drawing seam stays the only one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = QW_SOURCE_DIR;

// The line without its // comment and with string and character literals emptied, so that
// prose and messages that mention gl functions do not count.
std::string CodeOf(const std::string& line)
{
    std::string code;
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0, code += c;
            continue;
        }
        if (c == '/' && i + 1 < line.size() && line[i + 1] == '/')
            break;
        if (c == '"' || c == '\'')
            quote = c;
        code += c;
    }
    return code;
}

// "file:line: text" for every direct gl call or GL header include in text.
std::vector<std::string> DirectGLUses(const std::string& name, std::istream& text)
{
    static const std::regex call(R"((^|[^A-Za-z0-9_])gl[A-Z][A-Za-z0-9]*\s*\()");
    static const std::regex header(R"(^\s*#\s*include\s*<GL/)");
    std::vector<std::string> found;
    int number = 0;
    for (std::string line; std::getline(text, line);) {
        ++number;
        if (std::regex_search(line, header) || std::regex_search(CodeOf(line), call))
            found.push_back(name + ":" + std::to_string(number) + ": " + line);
    }
    return found;
}

TEST(DrawingSeam, TheCheckFindsCallsAndIncludesButNotProseOrWrappers)
{
    std::istringstream text("    glEnable(GL_SCISSOR_TEST);\n"
                            "#include <GL/gl.h>\n"
                            "x = f(glGetError ());\n"
                            "GLEnable(GL_SCISSOR_TEST, true); // not glEnable(...)\n"
                            "Warn(\"glClear( failed\");\n"
                            "m_glRequest.samples = 0;\n"
                            "#include \"media/GL.h\"\n");
    const std::vector<std::string> found = DirectGLUses("f.cpp", text);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].rfind("f.cpp:1:", 0), 0u);
    EXPECT_EQ(found[1].rfind("f.cpp:2:", 0), 0u);
    EXPECT_EQ(found[2].rfind("f.cpp:3:", 0), 0u);
}

TEST(DrawingSeam, WidgetsAndTheApplicationMakeNoOpenGLCallsOfTheirOwn)
{
    std::vector<std::string> found;
    size_t files = 0;
    for (const char* folder : {"gui", "app"}) {
        ASSERT_TRUE(fs::is_directory(kRoot / folder)) << folder;
        for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder)) {
            const fs::path& path = entry.path();
            if (path.extension() != ".cpp" && path.extension() != ".h")
                continue;
            std::ifstream text(path);
            const std::vector<std::string> uses = DirectGLUses(fs::relative(path, kRoot).string(), text);
            found.insert(found.end(), uses.begin(), uses.end());
            ++files;
        }
    }
    EXPECT_GT(files, 10u);
    std::string list;
    for (const std::string& use : found)
        list += "  " + use + "\n";
    EXPECT_TRUE(found.empty()) << "draw through media/ instead:\n" << list;
}

} // namespace
