// SPDX-License-Identifier: BSD-2-Clause
// A WebP (RIFF) file writer for tests, and an independent walk of the RIFF
// chunks of real files.
#pragma once

#include <algorithm>
#include <optional>
#include <string>

#include "support/writer.h"

namespace qtest {

struct WebpFile {
  const char *form = "WEBP";
  const char *chunk = "VP8 ";
  Bytes payload;
  // Unset: the consistent value (chunk size + 12, plus the pad byte of an
  // odd chunk when `pad` is set).
  std::optional<uint32_t> riff_size;
  uint32_t chunk_size = 0xFFFFFFFFu;  // all ones: the payload's size
  bool pad = false;                   // a pad byte after an odd payload

  Bytes bytes() const {
    const uint32_t size =
        chunk_size != 0xFFFFFFFFu ? chunk_size : static_cast<uint32_t>(payload.size());
    const bool padded = pad && payload.size() % 2 == 1;
    Writer w;
    w.tag("RIFF").le32(riff_size ? *riff_size : size + 12 + (padded ? 1 : 0)).tag(form).tag(chunk)
        .le32(size).bytes(payload);
    if (padded) w.u8(0);
    return w.take();
  }
};

struct RiffChunk {
  std::string code;
  uint32_t size = 0;
  size_t offset = 0;  // of the payload in the file
};

// The chunks of a RIFF file, walked by the published rules (each chunk is
// padded to an even size); `riff_size` and `form` from the file header.
inline std::vector<RiffChunk> walk_riff(const Bytes &file, uint32_t *riff_size, std::string *form) {
  std::vector<RiffChunk> chunks;
  auto le32 = [&](size_t at) {
    return static_cast<uint32_t>(file[at]) | static_cast<uint32_t>(file[at + 1]) << 8 |
           static_cast<uint32_t>(file[at + 2]) << 16 | static_cast<uint32_t>(file[at + 3]) << 24;
  };
  if (file.size() < 12) return chunks;
  *riff_size = le32(4);
  *form = std::string(file.begin() + 8, file.begin() + 12);
  const size_t end = std::min(file.size(), static_cast<size_t>(*riff_size) + 8);
  for (size_t at = 12; at + 8 <= end;) {
    RiffChunk c;
    c.code = std::string(file.begin() + at, file.begin() + at + 4);
    c.size = le32(at + 4);
    c.offset = at + 8;
    chunks.push_back(c);
    at += 8 + static_cast<size_t>(c.size) + (c.size & 1);
  }
  return chunks;
}

}  // namespace qtest
