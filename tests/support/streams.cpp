// SPDX-License-Identifier: BSD-2-Clause
#include "support/streams.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio_ext.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "support/ivf_writer.h"

namespace qtest {

const std::vector<StreamInput> &stream_inputs() {
  static const std::vector<StreamInput> inputs = [] {
    std::vector<StreamInput> found;
    const struct {
      const char *suffix;
      uint32_t standard;
    } kinds[] = {{".ivf", 10}, {".webp", 10}, {".rcv", 5}, {".wmv", 5},
                 {".rm", 7},    {".avi", 8},   {".vp6", 9}, {".flv", 9},
                 {".webm", 10}, {".mkv", 7}};
    DIR *d = opendir(QUILLAR_SOURCE_DIR "/samples");
    while (dirent *e = d ? readdir(d) : nullptr) {
      const std::string name = e->d_name;
      for (const auto &k : kinds) {
        const size_t n = strlen(k.suffix);
        if (name.size() > n && name.compare(name.size() - n, n, k.suffix) == 0)
          found.push_back({name, k.standard, read_bytes(QUILLAR_SOURCE_DIR "/samples/" + name),
                           QUILLAR_SOURCE_DIR "/samples/" + name});
      }
    }
    if (d) closedir(d);
    std::sort(found.begin(), found.end(), [](const StreamInput &a, const StreamInput &b) { return a.name < b.name; });
    IvfWriter ivf;
    for (uint32_t i = 0; i < 508; i++) ivf.frame(pattern(60 + (i * 37) % 400, i), i);
    found.push_back({"writer-508-frames.ivf", 10, ivf.take(), ""});
    return found;
  }();
  return inputs;
}

namespace {

struct Cookie {
  Bytes data;
  size_t pos = 0;
  ReadFaults faults;
};

ssize_t cookie_read(void *c, char *buf, size_t size) {
  auto *s = static_cast<Cookie *>(c);
  std::vector<size_t> &stops = s->faults.interrupt_at;
  auto here = std::find(stops.begin(), stops.end(), s->pos);
  if (here != stops.end()) {
    stops.erase(here);
    errno = EINTR;
    return -1;
  }
  if (s->pos >= s->faults.fail_from) {
    if (s->faults.fail_once) s->faults.fail_from = SIZE_MAX;
    errno = EIO;
    return -1;
  }
  // Stop short of the next fault so that it strikes at its offset.
  size_t end = std::min(s->data.size(), s->faults.fail_from);
  for (size_t at : stops)
    if (at > s->pos) end = std::min(end, at);
  const size_t n = std::min(size, end - s->pos);
  memcpy(buf, s->data.data() + s->pos, n);
  s->pos += n;
  return static_cast<ssize_t>(n);
}

int cookie_close(void *c) {
  delete static_cast<Cookie *>(c);
  return 0;
}

std::atomic<unsigned long> alarms{0};
void on_alarm(int) { alarms.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

FILE *faulty_stream(const Bytes &data, const ReadFaults &faults) {
  auto *c = new Cookie{data, 0, faults};
  cookie_io_functions_t io = {cookie_read, nullptr, nullptr, cookie_close};
  FILE *f = fopencookie(c, "rb", io);
  if (!f) delete c;
  return f;
}

PipeFeeder::PipeFeeder(const Bytes &data, size_t piece, unsigned pause_us) : job_{data, piece, pause_us, -1} {
  int fds[2];
  if (pipe(fds) != 0) {
    ADD_FAILURE() << "pipe: " << strerror(errno);
    return;
  }
  read_fd_ = fds[0];
  job_.fd = fds[1];
  if (pthread_create(&writer_, nullptr, write_all, &job_) != 0) {
    ADD_FAILURE() << "cannot start the pipe writer";
    close(job_.fd);
    job_.fd = -1;
  }
}

void *PipeFeeder::write_all(void *arg) {
  auto *job = static_cast<Job *>(arg);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGALRM);
  sigaddset(&blocked, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
  for (size_t at = 0; at < job->data.size();) {
    const size_t n = std::min(job->piece, job->data.size() - at);
    const ssize_t put = write(job->fd, job->data.data() + at, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;  // the reader has gone
    at += static_cast<size_t>(put);
    if (job->pause_us) usleep(job->pause_us);
  }
  close(job->fd);
  return nullptr;
}

PipeFeeder::~PipeFeeder() {
  if (read_fd_ >= 0) close(read_fd_);
  if (job_.fd >= 0) pthread_join(writer_, nullptr);
}

FILE *PipeFeeder::open() {
  FILE *f = fdopen(read_fd_, "rb");
  if (f) read_fd_ = -1;
  return f;
}

int PipeFeeder::take_fd() {
  const int fd = read_fd_;
  read_fd_ = -1;
  return fd;
}

PipedStdin::PipedStdin(const Bytes &data, size_t piece, unsigned pause_us) : feeder_(data, piece, pause_us) {
  saved_fd_ = dup(0);
  const int fd = feeder_.take_fd();
  dup2(fd, 0);
  close(fd);
  clearerr(stdin);
}

PipedStdin::~PipedStdin() {
  __fpurge(stdin);
  dup2(saved_fd_, 0);  // closes the pipe: a writer still at work stops
  close(saved_fd_);
  clearerr(stdin);
}

InterruptingTimer::InterruptingTimer(unsigned interval_us) {
  struct sigaction sa = {};
  sa.sa_handler = on_alarm;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: blocking reads fail with EINTR
  sigaction(SIGALRM, &sa, &saved_);
  const timeval every = {0, static_cast<suseconds_t>(interval_us)};
  const itimerval timer = {every, every};
  setitimer(ITIMER_REAL, &timer, nullptr);
}

InterruptingTimer::~InterruptingTimer() {
  // Stop the timer with the signal blocked and take any that is still
  // pending, so that none arrives once the old (default: fatal) action is back.
  sigset_t alarm, old;
  sigemptyset(&alarm);
  sigaddset(&alarm, SIGALRM);
  pthread_sigmask(SIG_BLOCK, &alarm, &old);
  const itimerval off = {};
  setitimer(ITIMER_REAL, &off, nullptr);
  const timespec now = {0, 0};
  while (sigtimedwait(&alarm, nullptr, &now) == SIGALRM) {
  }
  sigaction(SIGALRM, &saved_, nullptr);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

unsigned long InterruptingTimer::signals() { return alarms.load(std::memory_order_relaxed); }

HostRun run_stream(FILE *f, uint32_t standard) { return run_host_stream(f, standard, kStreamCapacity); }

HostRun run_file(const StreamInput &in) {
  FILE *f = in.path.empty() ? fmemopen(const_cast<uint8_t *>(in.data.data()), in.data.size(), "rb")
                            : fopen(in.path.c_str(), "rb");
  if (!f) {
    ADD_FAILURE() << "cannot open " << in.name;
    return HostRun();
  }
  HostRun r = run_stream(f, in.standard);
  fclose(f);
  return r;
}

}  // namespace qtest
