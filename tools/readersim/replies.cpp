#include "replies.h"

#include <cstdio>

#include "names.h"
#include "short_names.h"

namespace readersim {

namespace {

std::string Quoted(const std::string& value) { return "\"" + value + "\""; }

std::string KeyLine(const char* key, const std::string& v1) {
  return std::string(key) + "=" + Quoted(v1) + "\n";
}

std::string KeyLine(const char* key, const std::string& v1, const std::string& v2) {
  return std::string(key) + "=" + Quoted(v1) + " " + Quoted(v2) + "\n";
}

// One listing line: name(8) ext(3) attributes(6) size(8, right-aligned),
// each followed by a blank, then the long name. Entries inside a folder
// carry "+  " in front so the columns shift by three.
std::string ListingLine(bool inside, const ShortName& short_name, const char* attributes,
                        std::uint64_t size, const std::string& long_name) {
  char columns[64];
  std::snprintf(columns, sizeof columns, "%-8.8s %-3.3s %-6.6s %8llu ", short_name.base.c_str(),
                short_name.ext.c_str(), attributes, static_cast<unsigned long long>(size));
  return std::string(inside ? "+  " : "") + columns + long_name + "\n";
}

}  // namespace

std::string StatusReply(const Reader& reader) {
  const Settings& s = reader.settings;
  const Storage& card = reader.card;
  std::string out;
  out += KeyLine("SM_PRESENT", reader.card_present ? "Yes" : "No");
  out += KeyLine("FLASHFREE", std::to_string(reader.internal.Free()));
  out += KeyLine("SM_FLASHFREE", std::to_string(reader.card_present ? card.Free() : 0));
  out += KeyLine("FLASHID", reader.internal.id, std::to_string(reader.internal.size_mib));
  out += KeyLine("OFLASHID01", reader.card_present ? card.id : "00",
                 std::to_string(reader.card_present ? card.size_mib : 0));
  out += KeyLine("BATTERY", s.battery);
  out += KeyLine("EXTID", s.ext_id);
  out += KeyLine("USERID", s.user_id);
  out += KeyLine("VERSION", s.version);
  out += KeyLine("DATE", s.date);
  out += KeyLine("TIME", s.time);
  return out;
}

std::string TitlesReply(const Reader& reader) {
  std::vector<TitleRef> titles = ListTitles(reader);
  std::string out = KeyLine("TITLECOUNT", std::to_string(titles.size()));
  int number = 0;
  for (const TitleRef& ref : titles) {
    const TitleInfo& info = ref.file->info;
    out += "T" + std::to_string(++number) + "=";
    out += "title=" + Quoted(info.title);
    out += " author=" + Quoted(info.author);
    out += " filename=" + Quoted(DevicePath(ref.where));
    out += " size=" + Quoted(std::to_string(ref.file->data.size()));
    out += " ANNO=" + Quoted(info.anno);
    out += " publisher=" + Quoted(info.publisher);
    out += " isbn=" + Quoted(info.isbn);
    out += " url=" + Quoted(info.url);
    out += " username=" + Quoted(info.username);
    out += "\n";
  }
  return out;
}

std::string ListingReply(const Storage& storage, bool card) {
  std::string out = card ? " Pagora eBook SmartMedia card\n" : " Pagora eBook internal memory\n";
  out += "Name     Ext Attr       Size Long name\n";

  std::vector<std::string> top;
  for (const Folder& folder : storage.folders) top.push_back(folder.name);
  for (const FileEntry& file : storage.files) top.push_back(file.name);
  std::vector<ShortName> top_short = MakeShortNames(top);

  std::size_t index = 0;
  for (const Folder& folder : storage.folders) {
    out += ListingLine(false, top_short[index++], "-D---", 0, folder.name);
    std::vector<std::string> names;
    for (const FileEntry& file : folder.files) names.push_back(file.name);
    std::vector<ShortName> inner = MakeShortNames(names);
    for (std::size_t i = 0; i < folder.files.size(); ++i)
      out += ListingLine(true, inner[i], "-----", folder.files[i].data.size(), folder.files[i].name);
  }
  for (const FileEntry& file : storage.files) {
    out += ListingLine(false, top_short[index++], "-----", file.data.size(), file.name);
  }
  return out;
}

}  // namespace readersim
