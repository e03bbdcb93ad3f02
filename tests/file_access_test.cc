// Files read and written by name: what is refused, and that a failed write
// leaves nothing behind and the old file as it was.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "file_access.h"
#include "io_failure.h"

namespace synthfactors {
namespace {

namespace fs = std::filesystem;
using formats::SmallFile;

// A folder of its own, removed with everything in it.
class Folder {
 public:
  Folder() {
    char name[] = "/tmp/file-access-test-XXXXXX";
    path_ = mkdtemp(name);
  }
  ~Folder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::size_t Entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), fs::directory_iterator()));
  }

 private:
  fs::path path_;
};

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(ReadSmallFile, ReadsAWholeFileAndSaysWhyNot) {
  Folder folder;
  std::ofstream(folder / "a.json", std::ios::binary) << "{\"a\": 1}";
  const SmallFile read = formats::ReadSmallFile(folder / "a.json", 100);
  EXPECT_EQ(SmallFile::Fault::kNone, read.fault);
  EXPECT_EQ("{\"a\": 1}", read.text);

  EXPECT_EQ(SmallFile::Fault::kTooLong, formats::ReadSmallFile(folder / "a.json", 7).fault);
  EXPECT_EQ("no such file", formats::ReadSmallFile(folder / "none", 100).why);
  EXPECT_EQ("a directory, not a file", formats::ReadSmallFile(folder / "", 100).why);
  ASSERT_EQ(0, mkfifo((folder / "pipe").c_str(), 0600));
  // A pipe is refused without opening it, so no reader blocks on it.
  const SmallFile pipe = formats::ReadSmallFile(folder / "pipe", 100);
  EXPECT_EQ(SmallFile::Fault::kNotOpened, pipe.fault);
  EXPECT_EQ("a pipe, not a file", pipe.why);
  EXPECT_EQ("a device, not a file", formats::ReadSmallFile("/dev/null", 100).why);
  fs::create_symlink(folder / "loop", folder / "loop");
  EXPECT_EQ("a loop of symbolic links", formats::ReadSmallFile(folder / "loop", 100).why);
}

TEST(WriteReplacing, PutsTheFileInPlaceOnlyWhenWhole) {
  Folder folder;
  const std::string path = folder / "plan.csv";
  EXPECT_EQ("", formats::WriteReplacing(path, [](std::ostream& out) { out << "first\n"; }));
  EXPECT_EQ("first\n", Contents(path));
  EXPECT_EQ("", formats::WriteReplacing(path, [](std::ostream& out) { out << "second\n"; }));
  EXPECT_EQ("second\n", Contents(path));
  EXPECT_EQ(1U, folder.Entries());

  // A write that fails is reported with its reason; the old file stays.
  EXPECT_EQ("Cannot write " + path + ": disk full",
            formats::WriteReplacing(path, [](std::ostream& out) {
              out << "half";
              throw formats::WriteFailure("disk full");
            }));
  EXPECT_EQ("second\n", Contents(path));
  EXPECT_EQ(1U, folder.Entries());

  // Anything else thrown passes on, and leaves no new file either.
  EXPECT_THROW(formats::WriteReplacing(path,
                                       [](std::ostream&) { throw std::runtime_error("stop"); }),
               std::runtime_error);
  EXPECT_EQ(1U, folder.Entries());

  // A place that cannot be written says so.
  const std::string nowhere = folder / "no folder/plan.csv";
  const std::string error = formats::WriteReplacing(nowhere, [](std::ostream& out) { out << "x"; });
  EXPECT_EQ(0U, error.find("Cannot write " + nowhere + ": ")) << error;
}

TEST(Printable, ShowsBytesFromOutsideSafely) {
  EXPECT_EQ("plan.json", formats::Printable("plan.json"));
  EXPECT_EQ("Grüße", formats::Printable("Grüße"));
  EXPECT_EQ("a\\x1B[2Jb", formats::Printable("a\x1b[2Jb"));
  EXPECT_EQ("\\xFF\\xC3", formats::Printable("\xff\xc3"));  // a lone byte, a cut sequence
}

}  // namespace
}  // namespace synthfactors
