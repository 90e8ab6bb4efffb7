#include "support/CliProcess.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TestSupport.h"

namespace ravelong::testing {

ProcessRun runInHome(const std::string& program, const std::filesystem::path& home,
                     const std::vector<std::string>& arguments) {
    const std::filesystem::path outFile = home / ".run-out";
    const std::filesystem::path errFile = home / ".run-err";
    ProcessRun run;
    const pid_t child = ::fork();
    if (child < 0)
        return run;
    if (child == 0) {
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::chdir(home.c_str()) != 0)
            ::_exit(127);
        const std::vector<std::string> environment{
            "HOME=" + home.string(),
            "XDG_DATA_HOME=" + (home / "data").string(),
            "XDG_CONFIG_HOME=" + (home / "config").string(),
            "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (home / "no-bus").string(),
            "TZ=Europe/Berlin",
            "LANG=C.UTF-8",
            "LC_ALL=C.UTF-8",
            "PATH=/usr/bin:/bin"};
        std::vector<char*> env;
        for (const std::string& entry : environment)
            env.push_back(const_cast<char*>(entry.c_str()));
        env.push_back(nullptr);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execve(program.c_str(), argv.data(), env.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = readFile(outFile);
    run.err = readFile(errFile);
    return run;
}

}  // namespace ravelong::testing
