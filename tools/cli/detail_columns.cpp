#include "tools/cli/detail_columns.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "tools/cli/host_messages.h"
#include "tools/cli/host_path.h"
#include "tools/cli/result_codes.h"
#include "tools/cli/session.h"

namespace pagora_cli {

namespace {

// A plugin that never ends its field list must not hang the host.
constexpr int kMaxFields = 100;
constexpr int kNameRoom = 260;
constexpr int kValueRoom = 1024;

// One line of the table: the size right-aligned, then each text in its
// column, with no blanks at the end.
void PrintRow(std::FILE* out, const std::string& size, const std::vector<std::string>& texts,
              const std::vector<std::size_t>& widths) {
  std::string line(size.size() < 12 ? 12 - size.size() : 0, ' ');
  line += size;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    line += "  " + texts[i];
    line.append(widths[i] - texts[i].size(), ' ');
  }
  line.erase(line.find_last_not_of(' ') + 1);
  std::fprintf(out, "%s\n", line.c_str());
}

}  // namespace

ContentExports FindContentExports(const PluginModule& module) {
  ContentExports content;
  content.supported_field = module.optional().content_supported_field;
  content.value = module.optional().content_value;
  if (content.supported_field == nullptr || content.value == nullptr) content = ContentExports();
  return content;
}

std::vector<Field> SupportedFields(const ContentExports& content) {
  std::vector<Field> fields;
  if (content.supported_field == nullptr) return fields;
  for (int index = 0; index < kMaxFields; ++index) {
    char name[kNameRoom] = {};
    char units[kNameRoom] = {};
    const int type = content.supported_field(index, name, units, kNameRoom);
    if (type <= ft_nomorefields) break;
    name[kNameRoom - 1] = '\0';
    fields.push_back({name, type});
  }
  return fields;
}

std::string FieldText(const ContentExports& content, const std::string& remote, int index) {
  std::vector<char> name(remote.begin(), remote.end());
  name.push_back('\0');
  // Room for any value, zeroed and one byte longer than the plugin is told,
  // so that a text always ends.
  alignas(8) char value[kValueRoom + 1] = {};
  const int type = content.value(name.data(), index, 0, value, kValueRoom, 0);
  switch (type) {
    case ft_string: return Printable(value);
    case ft_boolean: {
      std::int32_t yes = 0;
      std::memcpy(&yes, value, sizeof yes);
      return yes != 0 ? "yes" : "no";
    }
    case ft_numeric_32: {
      std::int32_t number = 0;
      std::memcpy(&number, value, sizeof number);
      return std::to_string(number);
    }
    case ft_numeric_64: {
      std::int64_t number = 0;
      std::memcpy(&number, value, sizeof number);
      return std::to_string(number);
    }
    default: return "-";
  }
}

int ListWithDetails(const PluginExports& plugin, const ContentExports& content, std::FILE* out,
                    std::FILE* err) {
  const std::vector<FolderEntry> entries = ListFolder(plugin);
  const std::vector<Field> fields = SupportedFields(content);
  if (fields.empty()) {
    std::fprintf(err, "pagora-cli: ls -l: the module offers no detail fields\n");
  }
  // The table's texts first, for the widths of its columns.
  std::vector<std::vector<std::string>> rows;
  std::vector<std::size_t> widths;
  widths.push_back(std::strlen("NAME"));
  for (const Field& field : fields) widths.push_back(field.name.size());
  for (const FolderEntry& entry : entries) {
    std::vector<std::string> row{Printable(entry.name)};
    for (std::size_t i = 0; i < fields.size(); ++i) {
      row.push_back(FieldText(content, std::string(1, kSeparator) + entry.name,
                              static_cast<int>(i)));
    }
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    rows.push_back(row);
  }
  std::vector<std::string> header{"NAME"};
  for (const Field& field : fields) header.push_back(field.name);
  PrintRow(out, "SIZE", header, widths);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    PrintRow(out, std::to_string(entries[r].size), rows[r], widths);
  }
  if (entries.empty()) std::fprintf(out, "  (empty folder)\n");
  return kExitOk;
}

}  // namespace pagora_cli
