#include "reader_ini.h"

#include <set>

#include "names.h"
#include "parse_number.h"

namespace readersim {

namespace {

bool Fault(IniFault* fault, int line, std::string message) {
  fault->line = line;
  fault->message = std::move(message);
  return false;
}

bool HasControl(const std::string& value) {
  for (char c : value) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return true;
  }
  return false;
}

// Status values travel in quotes, so a quote cannot be part of one.
bool ReadText(const IniEntry& entry, std::string* out, IniFault* fault) {
  if (HasControl(entry.value) || entry.value.find('"') != std::string::npos)
    return Fault(fault, entry.line, "value of '" + entry.key + "' holds a '\"' or a control character");
  *out = entry.value;
  return true;
}

bool ReadMib(const IniEntry& entry, std::uint32_t* out, IniFault* fault) {
  const std::string& v = entry.value;
  std::uint32_t mib = 0;
  if (v.size() > 4 || !ParseNumber(v, &mib)) mib = 0;
  if (mib < 1 || mib > kMaxStorageMib)
    return Fault(fault, entry.line, "size_mib must be a whole number from 1 to " +
                                        std::to_string(kMaxStorageMib) + ", not '" + v + "'");
  *out = mib;
  return true;
}

bool ReadReader(const IniSection& section, Settings* s, IniFault* fault) {
  for (const IniEntry& e : section.entries) {
    std::string* target = e.key == "version" ? &s->version
                          : e.key == "battery" ? &s->battery
                          : e.key == "extid"   ? &s->ext_id
                          : e.key == "userid"  ? &s->user_id
                          : e.key == "date"    ? &s->date
                          : e.key == "time"    ? &s->time
                                               : nullptr;
    if (target == nullptr) return Fault(fault, e.line, "unknown key '" + e.key + "' in [reader]");
    if (!ReadText(e, target, fault)) return false;
  }
  return true;
}

bool ReadStorage(const IniSection& section, bool card, ReaderIni* ini, IniFault* fault) {
  for (const IniEntry& e : section.entries) {
    if (e.key == "id") {
      if (!ReadText(e, card ? &ini->card_id : &ini->internal_id, fault)) return false;
    } else if (e.key == "size_mib") {
      if (!ReadMib(e, card ? &ini->card_mib : &ini->internal_mib, fault)) return false;
      (card ? ini->card_mib_line : ini->internal_mib_line) = e.line;
    } else if (card && e.key == "present") {
      if (e.value != "yes" && e.value != "no")
        return Fault(fault, e.line, "present must be yes or no, not '" + e.value + "'");
      ini->card_present = e.value == "yes";
    } else {
      return Fault(fault, e.line, "unknown key '" + e.key + "' in [" + section.name + "]");
    }
  }
  return true;
}

bool ReadTitle(const IniSection& section, const std::string& path, TitleSection* title,
               IniFault* fault) {
  std::optional<Location> where = ParseReaderPath(path);
  if (!where || !IsTitleLocation(*where))
    return Fault(fault, section.line, "'" + path +
                                          "' is no title path (book\\<name>.rb or SM\\book\\<name>.rb)");
  title->where = *where;
  title->info = TitleFromName(where->name);
  title->line = section.line;
  TitleInfo& info = title->info;
  for (const IniEntry& e : section.entries) {
    std::string* target = e.key == "title"       ? &info.title
                          : e.key == "author"    ? &info.author
                          : e.key == "publisher" ? &info.publisher
                          : e.key == "isbn"      ? &info.isbn
                          : e.key == "url"       ? &info.url
                          : e.key == "username"  ? &info.username
                          : e.key == "anno"      ? &info.anno
                                                 : nullptr;
    if (target == nullptr) return Fault(fault, e.line, "unknown key '" + e.key + "' in a title");
    // Title attributes end where '="' starts the next one.
    if (HasControl(e.value) || e.value.find("=\"") != std::string::npos)
      return Fault(fault, e.line, "value of '" + e.key + "' holds '=\"' or a control character");
    *target = e.value;
  }
  return true;
}

void Line(std::string* out, const char* key, const std::string& value) {
  *out += key;
  *out += value.empty() ? " =\n" : " = " + value + "\n";
}

}  // namespace

bool ReadReaderIni(std::string_view text, ReaderIni* ini, IniFault* fault) {
  std::vector<IniSection> sections;
  if (!ParseIni(text, &sections, fault)) return false;
  std::set<std::string> seen;
  for (const IniSection& section : sections) {
    if (!seen.insert(section.name).second)
      return Fault(fault, section.line, "section [" + section.name + "] given twice");
    if (section.name == "reader") {
      if (!ReadReader(section, &ini->settings, fault)) return false;
    } else if (section.name == "internal" || section.name == "card") {
      if (!ReadStorage(section, section.name == "card", ini, fault)) return false;
    } else if (section.name.compare(0, 6, "title ") == 0) {
      TitleSection title;
      if (!ReadTitle(section, section.name.substr(6), &title, fault)) return false;
      ini->titles.push_back(std::move(title));
    } else {
      return Fault(fault, section.line, "unknown section [" + section.name + "]");
    }
  }
  return true;
}

std::string WriteReaderIni(const Reader& reader) {
  std::string out =
      "# Pagora reader image: the reader's settings and its titles' attributes.\n"
      "# The simulator rewrites this file after every upload or deletion\n"
      "# (comments are not kept); edit it while the simulator is stopped.\n"
      "\n[reader]\n";
  const Settings& s = reader.settings;
  Line(&out, "version", s.version);
  Line(&out, "battery", s.battery);
  Line(&out, "extid", s.ext_id);
  Line(&out, "userid", s.user_id);
  Line(&out, "date", s.date);
  Line(&out, "time", s.time);
  out += "\n[internal]\n";
  Line(&out, "id", reader.internal.id);
  Line(&out, "size_mib", std::to_string(reader.internal.size_mib));
  out += "\n[card]\n";
  Line(&out, "present", reader.card_present ? "yes" : "no");
  Line(&out, "id", reader.card.id);
  Line(&out, "size_mib", std::to_string(reader.card.size_mib));
  for (bool on_card : {false, true}) {
    for (const Folder& folder : reader.StorageOf(on_card).folders) {
      for (const FileEntry& file : folder.files) {
        Location where{on_card, folder.name, file.name};
        if (!IsTitleLocation(where)) continue;
        out += "\n[title " + ReaderPath(where) + "]\n";
        Line(&out, "title", file.info.title);
        Line(&out, "author", file.info.author);
        Line(&out, "publisher", file.info.publisher);
        Line(&out, "isbn", file.info.isbn);
        Line(&out, "url", file.info.url);
        Line(&out, "username", file.info.username);
        Line(&out, "anno", file.info.anno);
      }
    }
  }
  return out;
}

}  // namespace readersim
