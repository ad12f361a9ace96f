// SPDX-License-Identifier: BSD-2-Clause
// Streams a decoder host meets besides regular files: pipes that a thread
// fills, standard input, reads interrupted by a timer signal, and cookie
// streams whose reads fail or are interrupted at chosen offsets.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/host.h"

namespace qtest {

// A bundled sample (or a file made in memory) with its video standard code.
struct StreamInput {
  std::string name;
  uint32_t standard;
  Bytes data;
  std::string path;  // the file on disk; empty for one made in memory
};
// Every bundled sample, plus a writer-made IVF of many frames over many blocks.
const std::vector<StreamInput> &stream_inputs();

// A whole-item capacity for the inputs above.
constexpr uint32_t kStreamCapacity = 1u << 20;

// Where reads of a cookie stream go wrong. Offsets count from the start.
struct ReadFaults {
  std::vector<size_t> interrupt_at;  // the read at each offset fails once with EINTR
  size_t fail_from = SIZE_MAX;       // reads at or after this offset fail with EIO
  bool fail_once = false;            // ...only the first of them
};
// An unseekable read-only stream over a copy of `data`.
FILE *faulty_stream(const Bytes &data, const ReadFaults &faults);

// A pipe whose write end a thread fills with `data`, in pieces of `piece`
// bytes with `pause_us` microseconds between them, and then closes. The
// thread blocks SIGALRM and SIGPIPE, so a reader that stops early only ends
// it. The destructor waits for it: close the read end first.
class PipeFeeder {
 public:
  explicit PipeFeeder(const Bytes &data, size_t piece = 65536, unsigned pause_us = 0);
  ~PipeFeeder();
  FILE *open();     // the read end as a stream (the caller closes it)
  int take_fd();    // or the read end as a descriptor

 private:
  struct Job {
    Bytes data;
    size_t piece;
    unsigned pause_us;
    int fd;
  };
  static void *write_all(void *job);
  Job job_;
  int read_fd_ = -1;
  pthread_t writer_{};
};

// Standard input reads from a pipe fed with `data` while this lives.
class PipedStdin {
 public:
  explicit PipedStdin(const Bytes &data, size_t piece = 65536, unsigned pause_us = 0);
  ~PipedStdin();

 private:
  int saved_fd_ = -1;
  PipeFeeder feeder_;
};

// SIGALRM every `interval_us` while this lives, handled without SA_RESTART,
// so that a blocking read in this thread fails with EINTR.
class InterruptingTimer {
 public:
  explicit InterruptingTimer(unsigned interval_us);
  ~InterruptingTimer();
  static unsigned long signals();  // delivered so far in the process

 private:
  struct sigaction saved_ {};
};

// Runs an open stream through the host calls with a whole-item capacity.
HostRun run_stream(FILE *f, uint32_t standard);
// Runs the input as a file: the sample opened with fopen, or the bytes made
// in memory through fmemopen.
HostRun run_file(const StreamInput &in);

}  // namespace qtest
