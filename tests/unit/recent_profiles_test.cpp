// The recent-profiles list against an independent model of it, and the
// menu texts made from its paths.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "model/recent_profiles.h"
#include "platform/text.h"

namespace {

// Each file is spelled in several ways Windows takes for the same name.
const std::vector<std::vector<std::string>> kFiles = {
    {"C:\\Profiles\\city.zpf", "c:/profiles/CITY.ZPF", "C:\\PROFILES/City.zpf"},
    {"D:\\Сирены\\Школа №5.zpf", "d:\\СИРЕНЫ\\школа №5.ZPF", "D:/сирены/ШКОЛА №5.zpf"},
    {"\\\\server\\share\\Ёлка.zpf", "\\\\SERVER\\SHARE\\ёлка.zpf"},
    {"C:\\Ελλάδα\\σειρήνα.zpf", "C:\\ΕΛΛΆΔΑ\\ΣΕΙΡΉΝΑ.zpf"},
    {"C:\\a.zpf"},
    {"C:\\b.zpf"},
    {"C:\\c.zpf"},
    {"C:\\d.zpf"},
    {"C:\\e.zpf"},
    {"C:\\f.zpf"},
    {"C:\\日本\\警報.zpf"},
};

TEST(RecentProfiles, FollowsAModelOfTheListThroughRandomAddsAndRemoves) {
  std::mt19937 random(7);
  BRecentProfiles recent;
  std::vector<size_t> model;  // file indices, newest first
  std::vector<std::string> spelled(kFiles.size());
  for (int step = 0; step < 3000; ++step) {
    const size_t file = random() % kFiles.size();
    const std::string& path = kFiles[file][random() % kFiles[file].size()];
    auto listed = std::find(model.begin(), model.end(), file);
    if (random() % 4 == 0) {
      EXPECT_EQ(listed != model.end(), recent.Remove(path)) << path;
      if (listed != model.end()) model.erase(listed);
    } else {
      recent.Add(path);
      if (listed != model.end()) model.erase(listed);
      model.insert(model.begin(), file);
      if (model.size() > BRecentProfiles::kMaxEntries) model.pop_back();
      spelled[file] = path;  // the list keeps the newest spelling
    }
    ASSERT_EQ(model.size(), recent.Paths().size()) << "step " << step;
    for (size_t i = 0; i < model.size(); ++i)
      ASSERT_EQ(spelled[model[i]], recent.Paths()[i]) << "step " << step << " entry " << i;
  }
  // What the registry gives back makes the same list, without its doubles.
  std::vector<std::string> stored = recent.Paths();
  stored.insert(stored.begin() + 1, "");
  stored.push_back(stored.front());
  EXPECT_EQ(recent.Paths(), BRecentProfiles(stored).Paths());
  EXPECT_FALSE(BRecentProfiles::SamePath("C:\\a.zpf", "C:\\a.zpf2"));
  EXPECT_FALSE(BRecentProfiles::SamePath("C:\\Школа.zpf", "C:\\Шкала.zpf"));
}

TEST(RecentProfiles, MenuTextsNumberShortenAndShowAmpersands) {
  EXPECT_EQ(L"&1 C:\\Tom && Jerry.zpf", RecentMenuText(0, L"C:\\Tom & Jerry.zpf"));
  const std::wstring deep =
      L"C:\\Users\\Оператор\\Documents\\Sirelta\\Районы\\Северный район\\Школа 5\\профиль.zpf";
  const std::wstring text = RecentMenuText(7, deep, 40);
  EXPECT_EQ(L"&8 C:\\...\\Школа 5\\профиль.zpf", text);
  const std::wstring server = RecentMenuText(1, L"\\\\srv\\share\\one\\two\\three\\four.zpf", 30);
  EXPECT_EQ(L"&2 \\\\srv\\share\\...\\three\\four.zpf", server);
  // A file name longer than the room is shown whole after the root.
  const std::wstring longName = L"C:\\folder\\" + std::wstring(70, L'я') + L".zpf";
  EXPECT_EQ(L"&3 C:\\...\\" + std::wstring(70, L'я') + L".zpf", RecentMenuText(2, longName, 40));
  EXPECT_EQ(L"&4 short.zpf", RecentMenuText(3, L"short.zpf", 5));
}

}  // namespace
