// The fuzzer's harness without libFuzzer over the seed corpus and past findings.

#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool readFile(const std::string& path, std::vector<uint8_t>& data) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  data.clear();
  uint8_t chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
    data.insert(data.end(), chunk, chunk + got);
  std::fclose(file);
  return true;
}

int replayDirectory(const std::string& directory) {
  DIR* dir = opendir(directory.c_str());
  if (!dir) {
    std::fprintf(stderr, "cannot read %s\n", directory.c_str());
    return -1;
  }
  int count = 0;
  std::vector<uint8_t> data;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string path = directory + "/" + entry->d_name;
    if (!readFile(path, data)) continue;
    std::printf("%s (%zu bytes)\n", path.c_str(), data.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(data.data(), data.size());
    count++;
  }
  closedir(dir);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  LLVMFuzzerInitialize(&argc, &argv);
  int total = 0;
  for (int i = 1; i < argc; i++) {
    const int count = replayDirectory(argv[i]);
    if (count < 0) return 1;
    total += count;
  }
  std::printf("%d inputs replayed\n", total);
  return total > 0 ? 0 : 1;
}
