// SPDX-License-Identifier: BSD-2-Clause
// Replays a corpus through a fuzz target without a fuzzing engine, so that
// the corpus runs as an ordinary test (under the sanitizers in that build).
// Usage: TARGET_replay FILE_OR_DIR...
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static int run_file(const std::string &path) {
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) {
    fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(f);
  // An exact-size copy, so that reads past the end are caught.
  auto *exact = static_cast<uint8_t *>(malloc(bytes.size() ? bytes.size() : 1));
  for (size_t i = 0; i < bytes.size(); i++) exact[i] = bytes[i];
  LLVMFuzzerTestOneInput(exact, bytes.size());
  free(exact);
  return 0;
}

int main(int argc, char **argv) {
  int failures = 0, files = 0;
  for (int i = 1; i < argc; i++) {
    struct stat st;
    if (stat(argv[i], &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      DIR *d = opendir(argv[i]);
      std::vector<std::string> names;
      while (dirent *e = d ? readdir(d) : nullptr)
        if (e->d_name[0] != '.') names.push_back(std::string(argv[i]) + "/" + e->d_name);
      if (d) closedir(d);
      for (const std::string &p : names) failures += run_file(p), files++;
    } else {
      failures += run_file(argv[i]), files++;
    }
  }
  fprintf(stderr, "replayed %d inputs\n", files);
  return failures ? 1 : 0;
}
