// Writes the benchmark's large input files with the project's own writers.
// Usage: make_inputs OUTDIR SIZE_MIB
// Prints one manifest line per file:
//   name standard lavf_mode items bytes
// where items/bytes are what libQuillar hands out (and libavformat reads).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/ivf_writer.h"

using qtest::Bytes;
using qtest::Writer;

namespace {

// A fast generator for random payload bytes.
struct Random {
  uint64_t s;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<uint32_t>(s >> 16);
  }
  uint32_t range(uint32_t lo, uint32_t hi) { return lo + next() % (hi - lo + 1); }
  void fill(Bytes &b, size_t n) {
    b.resize(n);
    for (size_t i = 0; i < n; i++) b[i] = static_cast<uint8_t>(next());
  }
};

struct Output {
  FILE *f;
  uint64_t written = 0;
  explicit Output(const std::string &path) : f(fopen(path.c_str(), "wb")) {
    if (!f) {
      perror(path.c_str());
      exit(1);
    }
  }
  void put(const Bytes &b) {
    fwrite(b.data(), 1, b.size(), f);
    written += b.size();
  }
  ~Output() { fclose(f); }
};

void ivf(const std::string &dir, const char *name, uint64_t target, uint32_t lo, uint32_t hi) {
  Output out(dir + "/" + name);
  out.put(qtest::IvfWriter("VP80").take());
  Random rng{0x9E3779B97F4A7C15ull ^ lo};
  uint64_t items = 0, bytes = 0;
  Bytes payload;
  while (out.written < target) {
    rng.fill(payload, rng.range(lo, hi));
    Writer w;
    w.le32(static_cast<uint32_t>(payload.size())).le64(items).bytes(payload);
    out.put(w.take());
    items++;
    bytes += payload.size();
  }
  printf("%s 10 all %llu %llu\n", name, (unsigned long long)items, (unsigned long long)bytes);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s OUTDIR SIZE_MIB\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const uint64_t target = strtoull(argv[2], nullptr, 10) << 20;
  ivf(dir, "ivf-small.ivf", target, 1000, 2000);
  ivf(dir, "ivf-large.ivf", target, 45000, 75000);
  return 0;
}
