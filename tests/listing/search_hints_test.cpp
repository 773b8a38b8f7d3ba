// What the walk tells its search besides the searches themselves: before each listing whether
// the entries are needed in full (not in folders-only mode), and once at its end, also an end by
// an error, that the folders the search kept open for it may be closed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hdtree/listing/headless_window.h"
#include "hdtree/listing/lister.h"
#include "listing_support.h"

namespace hdtree::testing {
namespace {

// Records, in order, "details on", "details off", "search <pattern>" and "release".
class HintedSearch : public ScriptedDirectorySearch {
 public:
  int FindFirstIn(const AnsiString& path, const std::string& hostRelative, int mask,
                  TSearchRec& rec) override {
    Calls.push_back("search " + path);
    return ScriptedDirectorySearch::FindFirstIn(path, hostRelative, mask, rec);
  }
  void SetFileDetails(bool needed) override {
    Calls.push_back(needed ? "details on" : "details off");
  }
  void ReleaseFolders() override { Calls.push_back("release"); }

  std::vector<std::string> Calls;
};

TEST(SearchHintsTest, DetailsFollowTheListModeAndTheWalkReleasesOnceAtItsEnd) {
  for (const int mode : {kListAllFiles, kListFoldersOnly}) {
    SCOPED_TRACE(mode);
    HintedSearch search;
    search.SetFolder("e:\\*.*", {Folder("Docs"), File("a.txt")});
    search.SetFolder("e:\\Docs\\*.*", Below({File("b.txt")}));
    ListingState state;
    state.DriveLetter = "e";
    HeadlessWindow window(mode);
    Lister(state, search, window).RunListing();

    const std::string details = mode == kListFoldersOnly ? "details off" : "details on";
    const std::vector<std::string> expected = {
        details, "search e:\\*.*",       details,  "search e:\\Program Files\\*.*",
        details, "search e:\\Docs\\*.*", "release"};
    EXPECT_EQ(search.Calls, expected);
  }
}

TEST(SearchHintsTest, AWalkStoppedByAnErrorReleasesToo) {
  HintedSearch search;
  search.SetFolder("e:\\*.*", {File("bad.txt", 0, Packed(2001, 13, 1, 0, 0, 0)), File("b")});
  ListingState state;
  state.DriveLetter = "e";
  HeadlessWindow window(kListAllFiles);
  Lister lister(state, search, window);
  EXPECT_ANY_THROW(lister.RunListing());
  ASSERT_FALSE(search.Calls.empty());
  EXPECT_EQ(search.Calls.back(), "release");
}

}  // namespace
}  // namespace hdtree::testing
