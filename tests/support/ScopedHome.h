// ScopedHome: sets $HOME (or unsets it, for null) for the life of the object and puts back
// what was there. For tests of what starts in the user's home folder. Main thread only.
#pragma once

#include <cstdlib>
#include <string>

class ScopedHome {
public:
    explicit ScopedHome(const char* home)
    {
        const char* old = std::getenv("HOME");
        m_had = old != nullptr;
        if (old)
            m_old = old;
        if (home)
            setenv("HOME", home, 1);
        else
            unsetenv("HOME");
    }
    explicit ScopedHome(const std::string& home) : ScopedHome(home.c_str()) {}
    ~ScopedHome()
    {
        if (m_had)
            setenv("HOME", m_old.c_str(), 1);
        else
            unsetenv("HOME");
    }
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

private:
    bool m_had = false;
    std::string m_old;
};
