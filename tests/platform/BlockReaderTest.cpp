#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/BlockReader.h"
#include "platform/FileSystem.h"
#include "tests/support/TempDir.h"

namespace {

// The text of the open file, block by block; the prefix bytes in front of
// each block are the taker's and are written here every time.
std::string Take(platform::TBlockReader& reader, std::size_t prefix) {
  std::string text;
  unsigned char* block = nullptr;
  for (std::size_t n; (n = reader.Next(block)) != 0;) {
    for (std::size_t k = 1; k <= prefix; ++k) block[-static_cast<std::ptrdiff_t>(k)] = '#';
    text.append(reinterpret_cast<const char*>(block), n);
  }
  return text;
}

// Files taken in order, some passed over before or after part of them was
// read ahead, come whole and unchanged, across more blocks than the reader
// holds; an empty file is just its end.
TEST(BlockReader, HandsOutEveryTakenFileWholeInOrder) {
  testsupport::TempDir tmp;
  std::vector<std::string> paths, texts;
  for (int k = 0; k < 12; ++k) {
    std::string text;
    for (int j = 0; j < k * 37; ++j) text += static_cast<char>('a' + (j * 7 + k) % 26);
    texts.push_back(text);
    paths.push_back(tmp.Write("f" + std::to_string(k) + ".txt", text));
  }
  platform::TBlockReader reader(paths, 5, 3);
  for (std::size_t k : {0, 1, 2, 4, 7, 8, 11}) {
    reader.Open(k);
    EXPECT_EQ(Take(reader, 3), texts[k]) << k;
  }

  // The last block of a file is still there once its end has come, however
  // far the reader has gone on meanwhile.
  platform::TBlockReader again(paths, 64, 0);
  for (std::size_t k = 1; k < paths.size(); ++k) {
    again.Open(k);
    unsigned char* block = nullptr;
    unsigned char* last = nullptr;
    std::size_t size = 0;
    for (std::size_t n; (n = again.Next(block)) != 0;) {
      last = block;
      size = n;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(last), size),
              texts[k].substr(texts[k].size() - size)) << k;
  }
}

// Opening or reading a file that fails reaches the taker at that file, as
// the error InputFile gives, and the files around it still come whole;
// a reader left halfway, or never used, stops cleanly.
TEST(BlockReader, FailuresComeAtTheirFileAndLeaveTheOthersWhole) {
  testsupport::TempDir tmp;
  const std::string before = tmp.Write("before.txt", std::string(300, 'b'));
  const std::string after = tmp.Write("after.txt", std::string(200, 'c'));
  const std::string missing = tmp.Dir() + "missing.txt";
  std::string expected;
  try {
    platform::InputFile file(missing);
  } catch (const platform::IoError& e) {
    expected = e.what();
  }
  ASSERT_FALSE(expected.empty());

  platform::TBlockReader reader({before, missing, tmp.Dir(), after}, 64, 0);
  reader.Open(0);
  EXPECT_EQ(Take(reader, 0), std::string(300, 'b'));
  for (std::size_t k : {1, 2}) {
    reader.Open(k);
    unsigned char* block = nullptr;
    try {
      reader.Next(block);
      ADD_FAILURE() << "no error for file " << k;
    } catch (const platform::IoError& e) {
      if (k == 1) {
        EXPECT_EQ(e.what(), expected);
      }
    }
  }
  reader.Open(3);
  EXPECT_EQ(Take(reader, 0), std::string(200, 'c'));

  {
    platform::TBlockReader halfway({before, after}, 8, 0);
    halfway.Open(0);
    unsigned char* block = nullptr;
    EXPECT_EQ(halfway.Next(block), 8u);
  }
  { platform::TBlockReader unused({before}, 8, 0); }
}

// A Prepare works on every block of the files taken, in order, before the
// taker sees it, and what it returns comes with that block: the file, and
// whether the file ends there (with the last bytes, or as an empty block).
// A Prepare that throws fails that block's read.
TEST(BlockReader, PreparedBlocksComeWithTheirNotes) {
  testsupport::TempDir tmp;
  const std::vector<std::string> texts{"abcdefghijkl", "", "mnopq", "rst", "uvwxyz"};
  std::vector<std::string> paths;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    paths.push_back(tmp.Write("f" + std::to_string(k), texts[k]));
  }
  auto prepare = [](std::size_t file, unsigned char* data, std::size_t size, bool last) {
    if (file == 4 && size != 0) throw platform::IoError("prepare failed", "f4");
    for (std::size_t j = 0; j < size; ++j) data[j] = static_cast<unsigned char>(data[j] - 32);
    return std::make_shared<const std::string>(std::to_string(file) + (last ? "L" : ""));
  };
  platform::TBlockReader reader(paths, 5, 2, prepare);
  for (std::size_t k : {0, 1, 3}) {
    reader.Open(k);
    std::string text, notes;
    unsigned char* block = nullptr;
    platform::TBlockReader::Note note;
    for (;;) {
      const std::size_t n = reader.Next(block, note);
      if (note) notes += *static_cast<const std::string*>(note.get()) + " ";
      if (n == 0) break;
      text.append(reinterpret_cast<const char*>(block), n);
    }
    std::string upper = texts[k];
    for (char& c : upper) c = static_cast<char>(c - 32);
    EXPECT_EQ(text, upper) << k;
    EXPECT_EQ(notes, k == 0 ? "0 0 0L " : k == 1 ? "1L " : "3L ") << k;
  }
  reader.Open(4);
  unsigned char* block = nullptr;
  EXPECT_THROW(reader.Next(block), platform::IoError);
}

// An early reader reads before its taker asks; the blocks read before it is
// given its Prepare (or none) come prepared all the same, in order, and
// what the files held when they were read.
TEST(BlockReader, EarlyReaderPreparesWhatItReadBefore) {
  testsupport::TempDir tmp;
  const std::vector<std::string> texts{"abcdefghijkl", "", "mnopq"};
  std::vector<std::string> paths;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    paths.push_back(tmp.Write("f" + std::to_string(k), texts[k]));
  }
  for (const bool prepared : {true, false}) {
    platform::TBlockReader reader(paths, 5, 2, platform::TBlockReader::Early{});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // reading meanwhile, or not
    if (prepared) {
      reader.Prepared([](std::size_t, unsigned char* data, std::size_t size, bool) {
        for (std::size_t j = 0; j < size; ++j) data[j] = static_cast<unsigned char>(data[j] - 32);
        return std::make_shared<const std::string>();
      });
    } else {
      reader.Prepared(nullptr);
    }
    for (std::size_t k : {0, 2}) {
      reader.Open(k);
      std::string expected = texts[k];
      if (prepared) {
        for (char& c : expected) c = static_cast<char>(c - 32);
      }
      EXPECT_EQ(Take(reader, 2), expected) << k << prepared;
    }
  }
}

}  // namespace
