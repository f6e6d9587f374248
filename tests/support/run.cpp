#include "support/run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

Scratch::Scratch() {
  std::string pattern = (fs::temp_directory_path() / "meshpix-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

Scratch::~Scratch() {
  std::error_code ec;
  fs::remove_all(path, ec);
}

std::string Scratch::Path(const std::string& name) const { return path + "/" + name; }

void Scratch::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream f(Path(name), std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + Path(name));
}

std::string Scratch::Read(const std::string& name) const { return ReadFile(Path(name)); }

bool Scratch::Exists(const std::string& name) const { return fs::exists(Path(name)); }

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string ProgramPath(const std::string& program) {
  return std::string(MESHPIX_BIN_DIR) + "/" + program;
}

RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::string& input, const std::string& cwd) {
  std::vector<std::string> command{ProgramPath(program)};
  command.insert(command.end(), args.begin(), args.end());
  return RunCommand(command, input, cwd);
}

RunResult RunCommand(const std::vector<std::string>& command, const std::string& input,
                     const std::string& cwd) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
  const std::string& path = command.at(0);
  std::vector<char*> argv;
  for (const auto& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // A reader that stops early must not kill the test with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  fcntl(in[1], F_SETFL, O_NONBLOCK);

  RunResult result;
  size_t sent = 0;
  int inFd = in[1];
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  }
  bool outOpen = true, errOpen = true;
  char chunk[65536];
  while (outOpen || errOpen) {
    pollfd fds[3];
    int n = 0;
    if (outOpen) fds[n++] = {out[0], POLLIN, 0};
    if (errOpen) fds[n++] = {err[0], POLLIN, 0};
    if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
    if (poll(fds, n, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == inFd) {
        ssize_t w = write(inFd, input.data() + sent, input.size() - sent);
        if (w > 0) sent += static_cast<size_t>(w);
        if (w < 0 && errno != EAGAIN) sent = input.size();
        if (sent == input.size()) {
          close(inFd);
          inFd = -1;
        }
        continue;
      }
      ssize_t r = read(fds[i].fd, chunk, sizeof chunk);
      if (r <= 0) {
        close(fds[i].fd);
        (fds[i].fd == out[0] ? outOpen : errOpen) = false;
      } else {
        (fds[i].fd == out[0] ? result.out : result.err).append(chunk, static_cast<size_t>(r));
      }
    }
  }
  if (inFd >= 0) close(inFd);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}
