// Entries that are not plain files or folders, sizes around the 32-bit limits, and times outside
// the packed range, in several time zones.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "hostile_support.h"

namespace hdtree::hostile {
namespace {

// The annotation and the line's end for a file line of the given name: what follows the name.
std::string Annotation(const DriveRun& run, const std::string& name) {
  const std::string marker = " " + name + ".....";
  const std::string line = run.Find(marker);
  if (line.empty()) return {};
  return line.substr(line.find(marker) + marker.size());
}

TEST(SpecialEntries, LinksThatLoopAreListedAndNeverEntered) {
  TempDir dir;
  MakeDir(dir / "sub");
  MakeFile(dir / "sub/inside.txt");
  Require(symlink(".", (dir / "sub/self").c_str()) == 0, "symlink");
  Require(symlink("..", (dir / "sub/up").c_str()) == 0, "symlink");
  Require(symlink("loop", (dir / "loop").c_str()) == 0, "symlink");  // points to itself
  Require(symlink("a", (dir / "b").c_str()) == 0, "symlink");
  Require(symlink("b", (dir / "a").c_str()) == 0, "symlink");
  Require(symlink("/", (dir / "sub/root").c_str()) == 0, "symlink");

  DriveRun run(dir.Path());
  run.List();

  // inside.txt once: neither self nor up was followed.
  EXPECT_EQ(run.Count("inside.txt"), 1);
  EXPECT_EQ(run.Count(" sub <Folder>"), 1);
  for (const char* name : {"self", "up", "root"}) {
    EXPECT_EQ(Annotation(run, name).rfind("...1KB.....", 0), 0u) << name;
  }
  // The loops at the root: one line each (the first entry of the root may lack the space).
  for (const char* name : {"loop", "a", "b"}) {
    EXPECT_EQ(run.Count(std::string(name) + "....."), 1) << name;
  }
  // Three root links, the folder's header and its four entries, and the root's first-entry
  // line when the folder came first.
  const bool folderFirst = run.state.LineBuffer[1] == std::string(glyphs::kTeeGlyph) + "sub";
  EXPECT_EQ(run.state.LastLine, 3 + 5 + (folderFirst ? 1 : 0));

  // Folders only: the folder's header, and the root's first-entry line when it came first.
  run.window.SetListMode(kListFoldersOnly);
  run.List();
  EXPECT_EQ(run.Count(" sub <Folder>"), 1);
  EXPECT_EQ(run.state.LastLine, 1 + (folderFirst ? 1 : 0));
}

TEST(SpecialEntries, FifosSocketsAndDevicesAreListedWithoutBeingOpened) {
  TempDir dir;
  MakeDir(dir / "dev");
  Require(mkfifo((dir / "dev/pipe").c_str(), 0644) == 0, "mkfifo");
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  Require(sock >= 0, "socket");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string sockPath = dir / "dev/sock";
  ASSERT_LT(sockPath.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, sockPath.c_str());
  Require(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
  const bool device = mknod((dir / "dev/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  const int deviceError = errno;

  // A FIFO that was opened for reading would block here until a writer came.
  DriveRun run(dir.Path());
  run.List();
  close(sock);

  EXPECT_EQ(Annotation(run, "pipe").rfind("...1KB.....", 0), 0u);
  EXPECT_EQ(Annotation(run, "sock").rfind("...1KB.....", 0), 0u);
  if (!device) {
    GTEST_SKIP() << "cannot make a device node here (mknod: " << std::strerror(deviceError)
                 << "); FIFO and socket checked";
  }
  EXPECT_EQ(Annotation(run, "null").rfind("...1KB.....", 0), 0u);
}

struct SizeCase {
  std::int64_t Size;
  const char* Field;
};

TEST(SpecialEntries, SizesAroundThirtyTwoBitsShowTheirRealKilobytes) {
  const SizeCase cases[] = {
      {0, "...1KB....."},
      {2147483647LL, "2097152KB....."},        // 2^31 - 1
      {2147483648LL, "2097153KB....."},        // 2^31
      {4294967296LL, "4194305KB....."},        // 2^32
      {1099511627776LL, "1073741825KB....."},  // 2^40
  };
  TempDir dir;
  for (const auto& c : cases) MakeFile(dir / ("s" + std::to_string(c.Size)), c.Size);

  DriveRun run(dir.Path());
  run.List();

  for (const auto& c : cases) {
    const std::string name = "s" + std::to_string(c.Size);
    const std::string line = run.Find(name + ".....");
    ASSERT_FALSE(line.empty()) << name;
    EXPECT_NE(line.find(name + "....." + c.Field), std::string::npos) << line;
  }
}

struct TimeCase {
  std::int64_t Seconds;
  const char* Text;
};

struct ZoneCase {
  const char* Tz;
  std::vector<TimeCase> Times;
};

// Restores the process's time zone.
class ZoneGuard {
 public:
  ZoneGuard() {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
  }
  ~ZoneGuard() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  void Set(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

TEST(SpecialEntries, TimesFromBeforeNineteenSeventyToAfterTwentyOneOSevenInSeveralZones) {
  const ZoneCase zones[] = {
      {"UTC0",
       {{0, "1970/01/01"},
        {-1, "1969/12/31 23:59:58"},
        {-31622407, "1968/12/30 23:59:52"},
        {315532799, "1979/12/31 23:59:58"},
        {315532800, "1980/01/01"},
        {2147483647, "2038/01/19 3:14:06"},
        {2147483648LL, "2038/01/19 3:14:08"},
        {4354819199LL, "2107/12/31 23:59:58"},
        {4354819200LL, "2108/01/01"},
        // Far enough out, within what ext4 and tmpfs store (ext4 stops in 2446).
        {7272419697LL, "2200/06/15 12:34:56"}}},
      {"JST-9",
       {{0, "1970/01/01 9:00:00"},
        {-1, "1970/01/01 8:59:58"},
        {315500399, "1979/12/31 23:59:58"},
        {315500400, "1980/01/01"},
        {2147483647, "2038/01/19 12:14:06"},
        {4354786799LL, "2107/12/31 23:59:58"},
        {4354786800LL, "2108/01/01"}}},
      {"<-0330>3:30",
       {{0, "1969/12/31 20:30:00"},
        {-1, "1969/12/31 20:29:58"},
        {315545400, "1980/01/01"},
        {2147483648LL, "2038/01/18 23:44:08"},
        {4354831799LL, "2107/12/31 23:59:58"},
        {4354831800LL, "2108/01/01"}}},
  };
  ZoneGuard zone;
  for (const auto& z : zones) {
    SCOPED_TRACE(z.Tz);
    TempDir dir;
    for (const auto& t : z.Times) {
      const std::string path = dir / ("t" + std::to_string(t.Seconds));
      MakeFile(path);
      SetTime(path, t.Seconds);
    }
    zone.Set(z.Tz);
    DriveRun run(dir.Path());
    run.List();
    for (const auto& t : z.Times) {
      const std::string name = "t" + std::to_string(t.Seconds);
      EXPECT_EQ(Annotation(run, name), std::string("...1KB.....") + t.Text + " ") << name;
    }
  }
}

}  // namespace
}  // namespace hdtree::hostile
