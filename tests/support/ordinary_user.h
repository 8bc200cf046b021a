#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kv::test {

// Runs `attempt` where file permissions apply: directly for an ordinary user; as root, in a
// child process that first becomes "nobody" (the paths it uses must be open to that user).
// `attempt` reports through its answer, not through assertions. Nothing when the child
// could not give up root.
std::optional<std::string> as_ordinary_user(const std::function<std::string()>& attempt);

} // namespace kv::test
