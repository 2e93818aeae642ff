// The detail columns of `ls -l`: the fields a plugin offers through its
// content functions, with their values for each entry of the folder.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "plugin/fs_api.h"
#include "tools/cli/module_loader.h"

namespace pagora_cli {

struct ContentExports {
  FsContentGetSupportedFieldFn supported_field = nullptr;
  FsContentGetValueFn value = nullptr;
};

// The content functions of `module`; none when it lacks either.
ContentExports FindContentExports(const PluginModule& module);

struct Field {
  std::string name;
  int type;
};

// The plugin's fields, by FsContentGetSupportedField from index 0 until it
// answers ft_nomorefields or an error.
std::vector<Field> SupportedFields(const ContentExports& content);

// The value of field `index` for the entry `remote` (separator + name) as
// text: the text, a number, "yes"/"no"; "-" for an empty field or none.
std::string FieldText(const ContentExports& content, const std::string& remote, int index);

// Lists the folder with size, name and one column per field. Gives the
// exit status.
int ListWithDetails(const PluginExports& plugin, const ContentExports& content, std::FILE* out,
                    std::FILE* err);

}  // namespace pagora_cli
