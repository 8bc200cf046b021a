#include "support/ordinary_user.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kv::test {

std::optional<std::string> as_ordinary_user(const std::function<std::string()>& attempt) {
    if (::geteuid() != 0)
        return attempt();
    constexpr uid_t kNobody = 65534;
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        const std::string answer = attempt();
        const bool written =
            ::write(fds[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
        ::_exit(written ? 0 : 3);
    }
    ::close(fds[1]);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return std::nullopt;
    return answer;
}

} // namespace kv::test
