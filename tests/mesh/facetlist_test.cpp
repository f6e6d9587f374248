// Facet lists taken from blocks: order and values across block boundaries, a header
// count far beyond the data, and exhausted memory.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mesh/stl.h"
#include "support/stlfiles.h"

namespace {

FILE* StreamOf(const std::string& bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

size_t Length(const Facet* f) {
  size_t n = 0;
  for (; f != nullptr; f = f->next) ++n;
  return n;
}

TEST(FacetBlocks, ListKeepsEveryFacetInOrderAcrossBlocks) {
  // 200,003 facets: blocks of 64, 128, ... 65,536 Facets, the last one partly used.
  std::vector<TestFacet> facets;
  for (int i = 0; i < 200003; ++i) {
    const float x = static_cast<float>(i);
    facets.push_back(Tri(x, 0, 0, x + 1, 0, 0, x, 1, 0, static_cast<uint16_t>(i * 7)));
  }
  FILE* f = StreamOf(BinarySTL(facets));
  bool outOfMemory = true;
  Facet* head = ReadFacetList(f, &outOfMemory);
  std::fclose(f);
  EXPECT_FALSE(outOfMemory);
  size_t n = 0;
  for (const Facet* p = head; p != nullptr; p = p->next, ++n) {
    ASSERT_LT(n, facets.size());
    const float got[9] = {p->x1, p->y1, p->z1, p->x2, p->y2, p->z2, p->x3, p->y3, p->z3};
    ASSERT_EQ(std::memcmp(got, facets[n].v, sizeof got), 0) << "facet " << n;
#if defined(MESHPIX_STL_ATTRIBUTE)
    ASSERT_EQ(static_cast<uint16_t>(p->attribute), facets[n].attribute) << "facet " << n;
#endif
  }
  EXPECT_EQ(n, facets.size());
  FreeFacetList(head);
  FreeFacetList(nullptr);
}

TEST(FacetBlocks, HugeCountOverATinyFileTakesOnlyWhatTheDataHolds) {
  FILE* f = StreamOf(BinarySTL(UnitCube(), 0xFFFFFFFFLL));
  bool outOfMemory = true;
  Facet* head = ReadFacetList(f, &outOfMemory);
  std::fclose(f);
  EXPECT_FALSE(outOfMemory);
  EXPECT_EQ(Length(head), 12u);
  FreeFacetList(head);
  // An empty model gives no list at all.
  f = StreamOf(BinarySTL({}));
  EXPECT_EQ(ReadFacetList(f, &outOfMemory), nullptr);
  std::fclose(f);
}

// The address sanitizer reserves more address space than any limit could leave.
#if defined(__SANITIZE_ADDRESS__)
#define MESHPIX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MESHPIX_ADDRESS_SANITIZER 1
#endif
#endif

#if !defined(MESHPIX_ADDRESS_SANITIZER)
// An endless binary STL: a header counting 2^32 - 1 facets, then the same record
// forever.
ssize_t EndlessRead(void* cookie, char* buffer, size_t size) {
  auto* offset = static_cast<size_t*>(cookie);
  static const std::string head = BinarySTL(UnitCube(), 0xFFFFFFFFLL);
  for (size_t i = 0; i < size; ++i, ++*offset) {
    const size_t at = *offset < head.size() ? *offset : 84 + (*offset - 84) % (50 * 12);
    buffer[i] = head[at];
  }
  return static_cast<ssize_t>(size);
}

#endif

TEST(FacetBlocks, ExhaustedMemoryEndsTheListAndSaysSo) {
#if defined(MESHPIX_ADDRESS_SANITIZER)
  GTEST_SKIP() << "the address sanitizer reserves more address space than any limit";
#else
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // 64 MiB of address space beyond what the process has: room for about a million
    // Facets, far fewer than the stream holds.
    FILE* status = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    if (status == nullptr || std::fscanf(status, "%ld", &pages) != 1) _exit(2);
    std::fclose(status);
    const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (64 << 20);
    const rlimit r{limit, limit};
    if (setrlimit(RLIMIT_AS, &r) != 0) _exit(3);
    size_t offset = 0;
    FILE* endless = fopencookie(&offset, "r", {EndlessRead, nullptr, nullptr, nullptr});
    if (endless == nullptr) _exit(4);
    bool outOfMemory = false;
    Facet* head = ReadFacetList(endless, &outOfMemory);
    const size_t n = Length(head);
    // The list ends where memory ran out, after many facets, and says so.
    _exit(outOfMemory && n > 100000 ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

}  // namespace
