#include "processrunner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "childprocess.h"

namespace fs = std::filesystem;

namespace {

// The whole of a temporary file, which is closed.
std::string drain(std::FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text += char(c);
  std::fclose(file);
  return text;
}

}  // namespace

EnvSetting::EnvSetting(std::string name, std::string value)
    : name(std::move(name)), value(std::move(value)) {}

EnvSetting::EnvSetting(std::string name, const char* value) : name(std::move(name)) {
  if (value) this->value = value;
}

ProcessRun runProcess(const std::string& program, const std::vector<std::string>& args,
                      const fs::path& dir, const ProcessEnv& env) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const pid_t pid = forkChild();
  if (pid == 0) {
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    if (chdir(dir.c_str()) != 0) _exit(127);
    for (const EnvSetting& setting : env)
      setting.value ? setenv(setting.name.c_str(), setting.value->c_str(), 1)
                    : unsetenv(setting.name.c_str());
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  forgetChild(pid);
  ProcessRun run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = drain(out);
  run.err = drain(err);
  return run;
}

TempDir::TempDir() {
  char name[] = "/tmp/tessarine-run-XXXXXX";
  path = mkdtemp(name);
}

TempDir::~TempDir() {
  fs::remove_all(path);
}

std::vector<std::string> TempDir::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}
