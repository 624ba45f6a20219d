#include "bench/run_children.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

extern char** environ;

namespace bench {

Run runChild(const Variant& variant) {
  Run run;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return run;
  }
  std::vector<std::string> words{variant.program, "--trial"};
  words.insert(words.end(), variant.arguments.begin(), variant.arguments.end());
  // A variable the variant sets replaces the inherited one of that name.
  const auto setByVariant = [&variant](const char* inherited) {
    for (const std::string& set : variant.environment) {
      const std::size_t name = set.find('=') + 1;
      if (std::strncmp(inherited, set.c_str(), name) == 0) {
        return true;
      }
    }
    return false;
  };
  std::vector<std::string> variables;
  for (char** v = environ; *v != nullptr; ++v) {
    if (!setByVariant(*v)) {
      variables.emplace_back(*v);
    }
  }
  variables.insert(variables.end(), variant.environment.begin(), variant.environment.end());
  const auto pointers = [](std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) {
      result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
  };
  std::vector<char*> argv = pointers(words);
  std::vector<char*> envp = pointers(variables);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string output;
  char buffer[256];
  for (ssize_t n = 0; spawned == 0 && (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  if (spawned != 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return run;
  }
  run.ok = std::sscanf(output.c_str(), "%ld %lf %lf %lld %ld", &run.steps, &run.seconds,
                       &run.cpuSeconds, &run.displayBytes, &run.displayWrites) == 5 &&
           run.seconds > 0;
  return run;
}

void alternate(const std::vector<Variant*>& variants, int rounds) {
  for (int round = 0; round < rounds; ++round) {
    for (Variant* variant : variants) {
      variant->runs.push_back(runChild(*variant));
    }
  }
}

Summary summary(const Variant& variant, const std::function<double(const Run&)>& value) {
  std::vector<double> values;
  for (const Run& run : variant.runs) {
    if (run.ok) {
      values.push_back(value(run));
    }
  }
  return summarize(values);
}

bool complete(const Variant& variant, long steps, bool onX) {
  bool all = !variant.runs.empty();
  for (const Run& run : variant.runs) {
    all = all && run.ok && run.steps == steps && (!onX || run.displayWrites >= steps);
  }
  return all;
}

}  // namespace bench
