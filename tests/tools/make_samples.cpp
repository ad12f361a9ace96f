// SPDX-License-Identifier: BSD-2-Clause
// Writes the bundled RCV, VP6 and FLV samples: make_samples DIR
#include <cstdio>
#include <string>

#include "support/samples.h"

namespace {

bool write(const std::string &path, const qtest::Bytes &data) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_samples DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  if (!write(dir + "/filler-176x144.rcv", qtest::sample_rcv()) ||
      !write(dir + "/filler.vp6", qtest::sample_vp6()) ||
      !write(dir + "/filler-vp6.flv", qtest::sample_flv())) {
    perror("make_samples");
    return 1;
  }
  return 0;
}
