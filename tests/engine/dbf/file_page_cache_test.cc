#include "engine/dbf/file_page_cache.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>

namespace fidora {
namespace {

using Page = std::array<uint8_t, TFilePageCache::kPageSize>;

Page PageOf(uint32_t seed) {
  Page page{};
  for (size_t i = 0; i < page.size(); i += 4) page[i] = static_cast<uint8_t>(seed + i);
  page[1] = static_cast<uint8_t>(seed >> 8);
  return page;
}

// Random stores, finds, erases and forgets over a cache of 16 pages and three files: whatever
// the cache still holds must be the bytes last stored for that file and page, never a page of
// another file, a forgotten state or an erased page; and it never holds more than its budget.
TEST(FilePageCache, HoldsOnlyTheLastBytesStoredWithinItsBudget) {
  TFilePageCache cache(16 * TFilePageCache::kPageSize);
  std::array<TFilePageCache::File*, 3> files = {cache.Attach(1, 10), cache.Attach(1, 11),
                                                cache.AttachPrivate()};
  std::map<std::pair<size_t, uint64_t>, uint32_t> model;  // (file, offset) -> seed
  std::mt19937 rng(5);
  Page out{};
  size_t hits = 0;
  for (uint32_t step = 0; step < 20000; ++step) {
    const size_t f = rng() % files.size();
    const uint64_t offset = (rng() % 40) * TFilePageCache::kPageSize;
    switch (rng() % 10) {
      case 0:
        cache.Erase(*files[f], offset);
        model.erase({f, offset});
        break;
      case 1:
        if (rng() % 20 == 0) {
          cache.Forget(*files[f]);
          std::erase_if(model, [f](const auto& e) { return e.first.first == f; });
        }
        break;
      case 2:
      case 3:
      case 4:
        cache.Store(*files[f], offset, PageOf(step).data());
        model[{f, offset}] = step;
        break;
      default:
        if (cache.Find(*files[f], offset, out.data())) {
          const auto it = model.find({f, offset});
          ASSERT_NE(it, model.end()) << "a page that was never stored or was dropped";
          ASSERT_EQ(out, PageOf(it->second));
          ++hits;
        }
    }
    ASSERT_LE(cache.pages_held(), 16u);
  }
  EXPECT_GT(hits, 1000u);  // the pages held are found again
}

TEST(FilePageCache, PagesReadSinceTheHandPassedOutliveNewOnes) {
  TFilePageCache cache(16 * TFilePageCache::kPageSize);
  TFilePageCache::File* file = cache.Attach(1, 1);
  Page out{};
  for (uint32_t p = 0; p < 16; ++p) cache.Store(*file, p * 1024, PageOf(p).data());
  // Page 0 is read again and again while a stream of new pages passes through.
  for (uint32_t p = 16; p < 200; ++p) {
    ASSERT_TRUE(cache.Find(*file, 0, out.data())) << "after " << p;
    cache.Store(*file, p * 1024, PageOf(p).data());
  }
  EXPECT_EQ(out, PageOf(0));
}

TEST(FilePageCache, RecordsAreFoundByIdentityUntilTheFileLosesItsName) {
  TFilePageCache cache;
  TFilePageCache::File* first = cache.Attach(3, 7);
  first->content_known = true;
  cache.Store(*first, 1024, PageOf(1).data());
  cache.Detach(first);

  TFilePageCache::File* again = cache.Attach(3, 7);  // a later open of the same file
  Page out{};
  EXPECT_EQ(again, first);
  EXPECT_TRUE(again->content_known);
  EXPECT_TRUE(cache.Find(*again, 1024, out.data()));
  cache.Detach(again);

  // Removed or renamed over: a new file given the same inode starts with nothing.
  cache.ForgetIdentity(3, 7);
  TFilePageCache::File* other = cache.Attach(3, 7);
  EXPECT_FALSE(other->content_known);
  EXPECT_FALSE(cache.Find(*other, 1024, out.data()));
  cache.Detach(other);
}

}  // namespace
}  // namespace fidora
