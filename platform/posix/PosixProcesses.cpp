#include "platform/posix/PosixProcesses.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace qv
{

std::vector<std::string> SplitParameters(const std::string& sParameters)
{
    std::vector<std::string> words;
    std::string sWord;
    bool bInWord = false, bQuoted = false;
    for (const char c : sParameters)
    {
        if (c == '"')
        {
            bQuoted = !bQuoted;
            bInWord = true;
        }
        else if (c == ' ' && !bQuoted)
        {
            if (bInWord)
                words.push_back(std::move(sWord));
            sWord.clear();
            bInWord = false;
        }
        else
        {
            sWord += c;
            bInWord = true;
        }
    }
    if (bInWord)
        words.push_back(std::move(sWord));
    return words;
}

ProcessRun PosixProcesses::RunAndWait(const std::string& sProgram, const std::string& sParameters,
                                      const std::string& sFolder)
{
    std::vector<std::string> words = SplitParameters(sParameters);
    words.insert(words.begin(), sProgram);
    std::vector<char*> argv;
    for (std::string& sWord : words)
        argv.push_back(sWord.data());
    argv.push_back(nullptr);
    int fds[2];
    ProcessRun run;
    if (::pipe2(fds, O_CLOEXEC) != 0)
    {
        run.nSystemCode = errno;
        return run;
    }
    const pid_t nPid = ::fork();
    if (nPid == 0)
    {
        ::close(fds[0]);
        if (sFolder.empty() || ::chdir(sFolder.c_str()) == 0)
            ::execv(sProgram.c_str(), argv.data());
        const int nError = errno;
        (void)!::write(fds[1], &nError, sizeof nError);
        ::_exit(127);
    }
    ::close(fds[1]);
    if (nPid < 0)
    {
        run.nSystemCode = errno;
        ::close(fds[0]);
        return run;
    }
    int nError = 0; // the pipe closes on a successful exec; an error number comes through it otherwise
    const bool bFailed = ::read(fds[0], &nError, sizeof nError) == static_cast<ssize_t>(sizeof nError);
    ::close(fds[0]);
    int nStatus = 0;
    while (::waitpid(nPid, &nStatus, 0) < 0 && errno == EINTR)
    {
    }
    if (bFailed)
    {
        run.nSystemCode = nError;
        return run;
    }
    run.bStarted = true;
    run.nExitCode = WIFEXITED(nStatus) ? static_cast<uint32_t>(WEXITSTATUS(nStatus)) : 255u;
    return run;
}

} // namespace qv
