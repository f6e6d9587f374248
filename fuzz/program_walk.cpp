// Fuzz target: the block walk of pictunpack or of pictanimate over the GIF block
// reader, run as its program on files in a scratch folder. pictunpack splits the input into one
// file an image; pictanimate joins two inputs (the fuzz data cut in two at a point its first byte
// chooses), listed inline or from the folder in one of the sort orders.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support.h"

#if defined(MESHPIX_WALK_PICTUNPACK)
int PictunpackMain(int argc, char** argv);
#else
int PictanimateMain(int argc, char** argv);
#endif

namespace {

// A scratch folder with "in" and "out" inside, removed when the process ends.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    char pattern[] = "/tmp/meshpix-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    path = pattern;
    std::filesystem::create_directory(path + "/in");
    std::filesystem::create_directory(path + "/out");
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

const std::string& Folder() {
  static const ScratchFolder folder;
  return folder.path;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

int Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  FuzzGuard guard;
  try {
#if defined(MESHPIX_WALK_PICTUNPACK)
    return PictunpackMain(static_cast<int>(args.size()), argv.data());
#else
    return PictanimateMain(static_cast<int>(args.size()), argv.data());
#endif
  } catch (const FuzzStop& stop) {
    return stop.status;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = Folder();
#if defined(MESHPIX_WALK_PICTUNPACK)
  WriteFile(folder + "/in/a.gif", data, size);
  Run({"pictunpack", folder + "/in/a.gif", folder + "/out/f%d.gif"});
#else
  const size_t cut = size == 0 ? 0 : (data[0] * size) / 256;
  WriteFile(folder + "/in/a.gif", data, cut);
  WriteFile(folder + "/in/b.gif", data + cut, size - cut);
  static const char* const lists[] = {"-a.gif b.gif", "-", "--n", "--rn", "-b.gif"};
  const char* list = lists[size % 5];
  Run({"pictanimate", folder + "/in", list, size % 3 == 0 ? "0" : "7", size % 2 ? "0" : "3",
       folder + "/out/x.gif"});
#endif
  return 0;
}
