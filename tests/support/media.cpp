// SPDX-License-Identifier: BSD-2-Clause
#include "support/media.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace qtest {

bool have_tool(const char *name) {
  std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return system(cmd.c_str()) == 0;
}

int run_command(const std::string &command, std::string *log) {
  FILE *p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0)
    if (log) log->append(buf, n);
  int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string temp_dir() {
  char tmpl[] = "/tmp/quillar-test-XXXXXX";
  const char *d = mkdtemp(tmpl);
  return d ? d : "/tmp";
}

void remove_tree(const std::string &dir) {
  if (dir.rfind("/tmp/quillar-test-", 0) == 0) run_command("rm -rf '" + dir + "'");
}

bool ffmpeg(const std::string &args, const std::string &out, std::string *why) {
  std::string log;
  const int status =
      run_command("ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " '" + out + "'", &log);
  if (status != 0 && why) *why = log;
  return status == 0;
}

static std::vector<std::string> split(const std::string &line, char sep) {
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string field;
  while (std::getline(ss, field, sep)) out.push_back(field);
  return out;
}

std::vector<ProbePacket> probe_packets(const std::string &path, const std::string &extra) {
  std::vector<ProbePacket> packets;
  std::string log;
  const std::string cmd = "ffprobe -v error " + extra +
                          " -show_packets -show_data_hash MD5 -show_entries "
                          "packet=stream_index,size,pos,data_hash,codec_type -of csv=p=0:nk=0 '" +
                          path + "'";
  FILE *p = popen(cmd.c_str(), "r");
  if (!p) return packets;
  char line[1024];
  while (fgets(line, sizeof line, p)) {
    ProbePacket pkt;
    for (const std::string &kv : split(line, ',')) {
      auto eq = kv.find('=');
      if (eq == std::string::npos) continue;
      std::string k = kv.substr(0, eq), v = kv.substr(eq + 1);
      while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.pop_back();
      if (k == "stream_index") pkt.stream_index = atoi(v.c_str());
      else if (k == "size") pkt.size = strtoull(v.c_str(), nullptr, 10);
      else if (k == "pos") pkt.pos = v == "N/A" ? -1 : strtoll(v.c_str(), nullptr, 10);
      else if (k == "data_hash") pkt.md5 = v.rfind("MD5:", 0) == 0 ? v.substr(4) : v;
      else if (k == "codec_type") pkt.codec_type = v;
    }
    packets.push_back(pkt);
  }
  pclose(p);
  return packets;
}

std::vector<uint8_t> probe_extradata(const std::string &path, int stream_index) {
  std::string log;
  run_command("ffprobe -v error -show_streams -show_data -select_streams " +
                  std::to_string(stream_index) + " -show_entries stream=extradata '" + path + "'",
              &log);
  // The hex dump lines look like "00000000: 0123 4567 ...  ascii".
  std::vector<uint8_t> bytes;
  std::stringstream ss(log);
  std::string line;
  while (std::getline(ss, line)) {
    if (line.size() < 10 || line[8] != ':') continue;
    std::string hex = line.substr(10, 40);
    for (size_t i = 0; i + 1 < hex.size();) {
      if (hex[i] == ' ') { i++; continue; }
      bytes.push_back(static_cast<uint8_t>(strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
      i += 2;
    }
  }
  return bytes;
}

}  // namespace qtest
