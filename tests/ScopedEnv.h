#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

// Sets an environment variable for the life of the object (TZ applies at once).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value)
        : m_name(name), m_had(std::getenv(name) != nullptr), m_old(m_had ? std::getenv(name) : "")
    {
        setenv(name, value.c_str(), 1);
        tzset();
    }
    ~ScopedEnv()
    {
        m_had ? setenv(m_name.c_str(), m_old.c_str(), 1) : unsetenv(m_name.c_str());
        tzset();
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_had;
    std::string m_old;
};
