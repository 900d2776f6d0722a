#pragma once

// Runs the command-line tool (ZANDREL_CLI, set by the build) as a script
// does: its exit code and both of its outputs together.
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <utility>

inline std::pair<int, std::string> RunCli(const std::string& arguments)
{
    std::string output;
    FILE* pipe = popen((std::string("'") + ZANDREL_CLI + "' " + arguments + " 2>&1").c_str(), "r");
    char block[512];
    for (size_t got; pipe && (got = fread(block, 1, sizeof block, pipe)) > 0;)
        output.append(block, got);
    int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}
